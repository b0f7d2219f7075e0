#include "cli/CueSheet.h"

#include <libcue.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string_view>

#include "platform/LocaleServices.h"

namespace {

constexpr int64_t CueFramesPerSecond = 75;
constexpr int64_t MaxSheetBytes = 1 << 20;  // a sheet is text of a few KB; anything larger is not one

bool IsValidUtf8(const std::string& S) {
    size_t I = 0;
    while (I < S.size()) {
        const auto C = static_cast<unsigned char>(S[I]);
        size_t More = 0;
        uint32_t Min = 0, Code = 0;
        if (C < 0x80) {
            ++I;
            continue;
        } else if ((C & 0xE0) == 0xC0) {
            More = 1, Min = 0x80, Code = C & 0x1F;
        } else if ((C & 0xF0) == 0xE0) {
            More = 2, Min = 0x800, Code = C & 0x0F;
        } else if ((C & 0xF8) == 0xF0) {
            More = 3, Min = 0x10000, Code = C & 0x07;
        } else {
            return false;
        }
        if (I + More >= S.size()) return false;
        for (size_t K = 1; K <= More; ++K) {
            const auto Next = static_cast<unsigned char>(S[I + K]);
            if ((Next & 0xC0) != 0x80) return false;
            Code = (Code << 6) | (Next & 0x3F);
        }
        // Overlong forms, surrogates and code points beyond Unicode are not UTF-8.
        if (Code < Min || Code > 0x10FFFF || (Code >= 0xD800 && Code <= 0xDFFF)) return false;
        I += More + 1;
    }
    return true;
}

std::string ReadSheetBytes(const std::string& FileName) {
    std::error_code Ec;
    if (!std::filesystem::is_regular_file(FileName, Ec))
        throw ECueSheetError("cannot read the CUE sheet \"" + FileName + "\": not a regular file");
    std::ifstream In(FileName, std::ios::binary);
    if (!In) throw ECueSheetError("cannot read the CUE sheet \"" + FileName + "\"");
    std::string Bytes;
    Bytes.resize(MaxSheetBytes + 1);
    In.read(Bytes.data(), MaxSheetBytes + 1);
    if (In.bad()) throw ECueSheetError("cannot read the CUE sheet \"" + FileName + "\"");
    Bytes.resize(static_cast<size_t>(In.gcount()));
    if (Bytes.size() > MaxSheetBytes) throw ECueSheetError("\"" + FileName + "\" is too large to be a CUE sheet");
    return Bytes;
}

struct TCdDeleter {
    void operator()(Cd* P) const { cd_delete(P); }
};
using TCdPtr = std::unique_ptr<Cd, TCdDeleter>;

// libcue reports what it cannot parse on the standard error, a character at
// a time. Those lines are caught, to be given in the one message that says
// the sheet is refused, and kept from the output of a sheet it can read.
class TCaughtStderr {
public:
    TCaughtStderr() : FFile(std::tmpfile()) {
        std::fflush(stderr);
        if (FFile) FSaved = ::dup(STDERR_FILENO);
        if (FSaved >= 0) ::dup2(::fileno(FFile), STDERR_FILENO);
    }
    ~TCaughtStderr() {
        Restore();
        if (FFile) std::fclose(FFile);
    }
    TCaughtStderr(const TCaughtStderr&) = delete;
    TCaughtStderr& operator=(const TCaughtStderr&) = delete;

    // What was written, without libcue's character-by-character complaints
    // when it says more than those: "3: syntax error; ...".
    std::string Text() {
        Restore();
        if (!FFile) return {};
        std::rewind(FFile);
        std::string All;
        char Buffer[4096];
        size_t Got;
        while ((Got = std::fread(Buffer, 1, sizeof Buffer, FFile)) > 0) All.append(Buffer, Got);
        std::istringstream Lines(All);
        std::string Line, Said, First;
        while (std::getline(Lines, Line)) {
            if (Line.empty()) continue;
            if (First.empty()) First = Line;
            if (Line.rfind("bad character", 0) == 0) continue;
            Said += (Said.empty() ? "" : "; ") + Line;
        }
        return Said.empty() ? First : Said;
    }

private:
    void Restore() {
        if (FSaved < 0) return;
        std::fflush(stderr);
        ::dup2(FSaved, STDERR_FILENO);
        ::close(FSaved);
        FSaved = -1;
    }
    std::FILE* FFile;
    int FSaved = -1;
};

std::string Text(const char* S) { return S ? S : ""; }

std::string Stem(const std::string& Name) {
    // Sheets written on Windows name their file with backslashes.
    std::string Portable = Name;
    for (char& C : Portable)
        if (C == '\\') C = '/';
    return std::filesystem::path(Portable).stem().string();
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
#define SEGMORA_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SEGMORA_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(SEGMORA_ADDRESS_SANITIZER)
// libcue does not free what it built of a sheet it cannot parse; nothing of
// ours can, so the leak checker is told to look past it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libcue.so\n"; }
#endif

int64_t CueFramesToMs(int64_t Frames) { return (Frames * 1000 * 2 + CueFramesPerSecond) / (2 * CueFramesPerSecond); }

std::string CueTextAsUtf8(const std::string& Bytes, int CodePage) {
    const auto Starts = [&Bytes](std::string_view Mark) { return Bytes.compare(0, Mark.size(), Mark) == 0; };
    std::string Text;
    if (Starts("\xEF\xBB\xBF"))
        Text = Bytes.substr(3);
    else if (Starts("\xFF\xFE"))
        Text = Utf16ToUtf8(Bytes.substr(2), false);
    else if (Starts("\xFE\xFF"))
        Text = Utf16ToUtf8(Bytes.substr(2), true);
    else
        Text = IsValidUtf8(Bytes) ? Bytes : AnsiToUtf8(Bytes, CodePage);
    // Sheets written on old Macs end their lines with CR alone, which libcue
    // takes for no line end at all.
    std::string Lines;
    Lines.reserve(Text.size());
    for (size_t I = 0; I < Text.size(); ++I) {
        if (Text[I] != '\r') {
            Lines += Text[I];
        } else if (I + 1 >= Text.size() || Text[I + 1] != '\n') {
            Lines += '\n';
        }
    }
    return Lines;
}

TCueSheet ReadCueSheet(const std::string& FileName, const std::string& Source, int CodePage) {
    return ParseCueSheet(ReadSheetBytes(FileName), FileName, Source, CodePage);
}

TCueSheet ParseCueSheet(const std::string& Bytes, const std::string& FileName, const std::string& Source,
                        int CodePage) {
    const std::string Sheet = CueTextAsUtf8(Bytes, CodePage);
    TCdPtr Cd;
    std::string Complaint;
    {
        TCaughtStderr Caught;
        Cd.reset(cue_parse_string(Sheet.c_str()));
        Complaint = Caught.Text();
    }
    const std::string Where = "the CUE sheet \"" + FileName + "\"";
    if (!Cd) throw ECueSheetError("cannot parse " + Where + (Complaint.empty() ? "" : " (" + Complaint + ")"));
    const int Count = cd_get_ntrack(Cd.get());
    if (Count <= 0) throw ECueSheetError(Where + " holds no track");

    TCueSheet Result;
    Cdtext* Album = cd_get_cdtext(Cd.get());
    Result.Title = Text(cdtext_get(PTI_TITLE, Album));
    Result.Performer = Text(cdtext_get(PTI_PERFORMER, Album));
    Result.Date = Text(rem_get(REM_DATE, cd_get_rem(Cd.get())));

    // One file, whatever it is called (sheets often name the image they were
    // ripped to, a WAV or a FLAC), or the one of several that is the source.
    std::set<std::string> Files;
    for (int I = 1; I <= Count; ++I) Files.insert(Text(track_get_filename(cd_get_track(Cd.get(), I))));
    std::string Chosen = *Files.begin();
    if (Files.size() > 1) {
        Chosen.clear();
        for (const std::string& F : Files)
            if (SameFileNameIgnoringCase(Stem(F), Stem(Source))) Chosen = F;
        if (Chosen.empty()) {
            std::string Names;
            for (const std::string& F : Files) Names += (Names.empty() ? "\"" : ", \"") + F + "\"";
            throw ECueSheetError(Where + " describes several files (" + Names + "), none of them \"" +
                                 std::filesystem::path(Source).filename().string() + "\"");
        }
    }
    Result.FileName = Chosen;

    for (int I = 1; I <= Count; ++I) {
        const Track* T = cd_get_track(Cd.get(), I);
        if (Text(track_get_filename(T)) != Chosen) continue;
        Cdtext* Texts = track_get_cdtext(T);
        TCueTrack Track;
        Track.Number = I;
        Track.StartFrames = track_get_index(T, 1);
        Track.Title = Text(cdtext_get(PTI_TITLE, Texts));
        Track.Performer = Text(cdtext_get(PTI_PERFORMER, Texts));
        if (Track.Performer.empty()) Track.Performer = Result.Performer;
        if (Track.StartFrames < 0) throw ECueSheetError(Where + ": track " + std::to_string(I) + " has no INDEX 01");
        if (!Result.Tracks.empty() && Track.StartFrames <= Result.Tracks.back().StartFrames)
            throw ECueSheetError(Where + ": track " + std::to_string(I) + " does not start after track " +
                                 std::to_string(Result.Tracks.back().Number));
        Result.Tracks.push_back(std::move(Track));
    }
    return Result;
}
