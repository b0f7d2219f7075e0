#include "platform/IniFile.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

constexpr const char* Blanks = " \t";

std::string Trim(const std::string& S) {
    const size_t First = S.find_first_not_of(Blanks);
    if (First == std::string::npos) return std::string();
    const size_t Last = S.find_last_not_of(Blanks);
    return S.substr(First, Last - First + 1);
}

bool SameName(const std::string& A, const std::string& B) {
    if (A.size() != B.size()) return false;
    for (size_t I = 0; I < A.size(); ++I) {
        unsigned char X = static_cast<unsigned char>(A[I]);
        unsigned char Y = static_cast<unsigned char>(B[I]);
        if (X >= 'a' && X <= 'z') X = static_cast<unsigned char>(X - 'a' + 'A');
        if (Y >= 'a' && Y <= 'z') Y = static_cast<unsigned char>(Y - 'a' + 'A');
        if (X != Y) return false;
    }
    return true;
}

// The file as lines without their line ends, and each line's own end, so
// that a write gives back every line it does not change byte for byte (a
// line of a file that mixes line ends included). A missing or unreadable
// file reads as no lines at all.
struct TIniText {
    std::vector<std::string> Lines;
    std::vector<std::string> Ends;
    std::string Bom;
    std::string LineEnd = "\n";  // the first line's, for lines a write adds
};

// The bytes of FileName when it is a regular file. Anything else (a FIFO
// that would hold the caller until some writer came, a device, a folder)
// reads as no file at all, and so does one that cannot be read.
std::string ReadRegularFile(const std::string& FileName) {
    const int Handle = ::open(FileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (Handle < 0) return {};
    std::string All;
    struct stat St {};
    if (::fstat(Handle, &St) == 0 && S_ISREG(St.st_mode)) {
        char Buffer[16384];
        for (;;) {
            const ssize_t Got = ::read(Handle, Buffer, sizeof Buffer);
            if (Got > 0) {
                All.append(Buffer, static_cast<size_t>(Got));
            } else if (Got == 0 || errno != EINTR) {
                if (Got < 0) All.clear();
                break;
            }
        }
    }
    ::close(Handle);
    return All;
}

TIniText Load(const std::string& FileName) {
    TIniText Text;
    std::string All = ReadRegularFile(FileName);
    if (All.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        Text.Bom = All.substr(0, 3);
        All.erase(0, 3);
    }
    const size_t FirstEnd = All.find('\n');
    if (FirstEnd != std::string::npos && FirstEnd > 0 && All[FirstEnd - 1] == '\r') Text.LineEnd = "\r\n";
    size_t Start = 0;
    while (Start < All.size()) {
        size_t End = All.find('\n', Start);
        if (End == std::string::npos) End = All.size();
        std::string Line = All.substr(Start, End - Start);
        const bool Cr = !Line.empty() && Line.back() == '\r';
        if (Cr) Line.pop_back();
        Text.Lines.push_back(std::move(Line));
        // The last line's end, when it has one, is the file's own.
        Text.Ends.push_back(End == All.size() ? "" : Cr ? "\r\n" : "\n");
        Start = End + 1;
    }
    return Text;
}

// The section name when Line is a section header.
bool IsSectionHeader(const std::string& Line, std::string& Name) {
    const std::string T = Trim(Line);
    if (T.empty() || T.front() != '[') return false;
    const size_t Close = T.find(']');
    Name = Trim(T.substr(1, Close == std::string::npos ? std::string::npos : Close - 1));
    return true;
}

// Key and value of a "Key=Value" line; comment lines and lines without "=" are no entries.
bool IsEntry(const std::string& Line, std::string& Key, std::string& Value) {
    const std::string T = Trim(Line);
    if (T.empty() || T.front() == ';') return false;
    const size_t Equals = T.find('=');
    if (Equals == std::string::npos) return false;
    Key = Trim(T.substr(0, Equals));
    Value = Trim(T.substr(Equals + 1));
    if (Value.size() >= 2 && (Value.front() == '"' || Value.front() == '\'') && Value.back() == Value.front())
        Value = Value.substr(1, Value.size() - 2);
    return true;
}

// Index range [First, Last) of the lines after the header of the first
// section with this name; false when there is none.
bool FindSection(const std::vector<std::string>& Lines, const std::string& Section, size_t& First, size_t& Last) {
    std::string Name;
    for (size_t I = 0; I < Lines.size(); ++I) {
        if (!IsSectionHeader(Lines[I], Name) || !SameName(Name, Section)) continue;
        First = I + 1;
        Last = First;
        while (Last < Lines.size() && !IsSectionHeader(Lines[Last], Name)) ++Last;
        return true;
    }
    return false;
}

// Writes All as the whole of FileName, made when missing. A name that is
// not a regular file is refused before anything is written: opening a FIFO
// for writing would wait for a reader for ever.
void WriteRegularFile(const std::string& FileName, const std::string& All) {
    const std::string NotRegular = "Cannot create file \"" + FileName + "\". It is not a regular file.";
    struct stat Existing {};
    if (::stat(FileName.c_str(), &Existing) == 0 && !S_ISREG(Existing.st_mode)) throw std::runtime_error(NotRegular);
    const int Handle = ::open(FileName.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (Handle < 0)
        throw std::runtime_error("Cannot create file \"" + FileName + "\". " + std::generic_category().message(errno));
    struct stat St {};
    if (::fstat(Handle, &St) != 0 || !S_ISREG(St.st_mode)) {
        ::close(Handle);
        throw std::runtime_error(NotRegular);
    }
    bool Written = ::ftruncate(Handle, 0) == 0;
    for (size_t Done = 0; Written && Done < All.size();) {
        const ssize_t N = ::write(Handle, All.data() + Done, All.size() - Done);
        if (N > 0)
            Done += static_cast<size_t>(N);
        else if (N == 0 || errno != EINTR)
            Written = false;
    }
    if (::close(Handle) != 0) Written = false;
    if (!Written) throw std::runtime_error("Error writing file \"" + FileName + "\".");
}

struct TEntry {
    std::string Key, Value;
};

std::vector<TEntry> Entries(const std::string& FileName, const std::string& Section) {
    std::vector<TEntry> Result;
    const TIniText Text = Load(FileName);
    size_t First = 0, Last = 0;
    if (!FindSection(Text.Lines, Section, First, Last)) return Result;
    TEntry Entry;
    for (size_t I = First; I < Last; ++I)
        if (IsEntry(Text.Lines[I], Entry.Key, Entry.Value)) Result.push_back(Entry);
    return Result;
}

}  // namespace

bool TryStrToInt(const std::string& Text, int32_t& Value) {
    const std::string T = Trim(Text);
    size_t I = 0;
    bool Negative = false;
    if (I < T.size() && (T[I] == '+' || T[I] == '-')) Negative = T[I++] == '-';
    int Base = 10;
    if (I < T.size() && T[I] == '$') {
        Base = 16;
        ++I;
    } else if (I + 1 < T.size() && T[I] == '0' && (T[I + 1] == 'x' || T[I + 1] == 'X')) {
        Base = 16;
        I += 2;
    }
    if (I >= T.size()) return false;
    int64_t Magnitude = 0;
    for (; I < T.size(); ++I) {
        const char C = T[I];
        int Digit;
        if (C >= '0' && C <= '9')
            Digit = C - '0';
        else if (Base == 16 && C >= 'a' && C <= 'f')
            Digit = C - 'a' + 10;
        else if (Base == 16 && C >= 'A' && C <= 'F')
            Digit = C - 'A' + 10;
        else
            return false;
        Magnitude = Magnitude * Base + Digit;
        if (Magnitude > int64_t(std::numeric_limits<int32_t>::max()) + 1) return false;
    }
    const int64_t Signed = Negative ? -Magnitude : Magnitude;
    if (Signed > std::numeric_limits<int32_t>::max()) return false;
    Value = static_cast<int32_t>(Signed);
    return true;
}

TIniFile::TIniFile(std::string FileName) : FFileName(std::move(FileName)) {}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                 const std::string& Default) const {
    for (const TEntry& Entry : Entries(FFileName, Section))
        if (SameName(Entry.Key, Ident)) return Entry.Value;
    return Default;
}

int32_t TIniFile::ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default) const {
    int32_t Value = 0;
    return TryStrToInt(ReadString(Section, Ident, std::string()), Value) ? Value : Default;
}

bool TIniFile::SectionExists(const std::string& Section) const {
    size_t First = 0, Last = 0;
    return FindSection(Load(FFileName).Lines, Section, First, Last);
}

std::vector<std::string> TIniFile::ReadSection(const std::string& Section) const {
    std::vector<std::string> Keys;
    for (const TEntry& Entry : Entries(FFileName, Section)) Keys.push_back(Entry.Key);
    return Keys;
}

std::vector<std::string> TIniFile::ReadSectionValues(const std::string& Section) const {
    const std::vector<TEntry> All = Entries(FFileName, Section);
    std::vector<std::string> Lines;
    for (const TEntry& Entry : All) {
        std::string Value = Entry.Value;
        for (const TEntry& Earlier : All)
            if (SameName(Earlier.Key, Entry.Key)) {
                Value = Earlier.Value;
                break;
            }
        Lines.push_back(Entry.Key + "=" + Value);
    }
    return Lines;
}

void TIniFile::WriteString(const std::string& Section, const std::string& Ident, const std::string& Value) {
    TIniText Text = Load(FFileName);
    std::vector<std::string>& Lines = Text.Lines;
    const std::string NewLine = Ident + "=" + Value;
    size_t First = 0, Last = 0;
    if (FindSection(Lines, Section, First, Last)) {
        bool Replaced = false;
        std::string Key, Old;
        for (size_t I = First; I < Last && !Replaced; ++I)
            if (IsEntry(Lines[I], Key, Old) && SameName(Key, Ident)) {
                Lines[I] = NewLine;
                Replaced = true;
            }
        if (!Replaced) {
            // After the section's last non-blank line, so that a blank line
            // separating it from the next section stays where it was.
            size_t At = Last;
            while (At > First && Trim(Lines[At - 1]).empty()) --At;
            Lines.insert(Lines.begin() + static_cast<std::ptrdiff_t>(At), NewLine);
            Text.Ends.insert(Text.Ends.begin() + static_cast<std::ptrdiff_t>(At), Text.LineEnd);
        }
    } else {
        Lines.push_back("[" + Section + "]");
        Lines.push_back(NewLine);
        Text.Ends.resize(Lines.size(), Text.LineEnd);
    }

    std::string All = Text.Bom;
    for (size_t I = 0; I < Lines.size(); ++I) {
        // The last line gets a line end too, when it had none. A line that
        // itself ends in CR keeps that CR only before CR LF: before LF alone
        // it would read back as a line end.
        std::string End = Text.Ends[I].empty() ? Text.LineEnd : Text.Ends[I];
        if (End == "\n" && !Lines[I].empty() && Lines[I].back() == '\r') End = "\r\n";
        All += Lines[I] + End;
    }
    WriteRegularFile(FFileName, All);
}

void TIniFile::WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value) {
    WriteString(Section, Ident, std::to_string(Value));
}
