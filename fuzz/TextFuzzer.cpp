// libFuzzer target over the text parsers that read what users and other
// programs hand over: ini files (the settings file and the language files),
// time codes, the split's name patterns and CUE sheets. The first byte of an
// input chooses the parser ('i', 't', 'n', 'c'; any other byte by its value),
// the rest is the text. Besides the sanitizers' own reports, every run checks
// what a caller relies on:
//
//  - ini: an integer read back is the one its text gives; a key written is
//    read back as written, and every other section reads as before;
//  - time codes: a time that parses is not negative, and its time code
//    parses back to it;
//  - names: the names of a split are unique (letter case ignored), lie in
//    the folder, end in ".mp3", hold no character a file system refuses and
//    no partial UTF-8 character when the texts had none;
//  - CUE sheets: a sheet either is refused with ECueSheetError or gives
//    tracks that start one after another, and pieces in that order.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CueSheet.h"
#include "cli/SplitPlan.h"
#include "engine/TimeCode.h"
#include "fuzz/FuzzCheck.h"
#include "platform/IniFile.h"

namespace {

std::string IniName;

void RemoveIni() {
    if (!IniName.empty()) ::unlink(IniName.c_str());
}

void WriteIni(const std::string& Text) {
    const int Fd = ::open(IniName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (Fd < 0) Fail("cannot write the ini file", IniName);
    for (size_t Done = 0; Done < Text.size();) {
        const ssize_t N = ::write(Fd, Text.data() + Done, Text.size() - Done);
        if (N <= 0) Fail("cannot write the ini file", IniName);
        Done += static_cast<size_t>(N);
    }
    ::close(Fd);
}

void FuzzIni(const std::string& Text) {
    WriteIni(Text);
    TIniFile Ini(IniName);
    const std::vector<std::string> Window = Ini.ReadSectionValues("FrmMP3Editor");
    Check(Ini.ReadSection("FrmMP3Editor").size() == Window.size(), "keys and entries differ in number");
    for (const std::string& Line : Window) Check(Line.find('=') != std::string::npos, "an entry without '='", Line);

    const std::string Stored = Ini.ReadString("LANGUAGE", "Default", "none");
    int32_t Parsed = 0;
    const int32_t Read = Ini.ReadInteger("LANGUAGE", "Default", 7);
    Check(Read == (TryStrToInt(Stored, Parsed) ? Parsed : 7), "an integer read other than its text gives", Stored);

    Ini.WriteInteger("LANGUAGE", "Default", 3);
    Check(Ini.ReadInteger("LANGUAGE", "Default", 7) == 3, "a key written is not read back");
    Check(Ini.ReadSectionValues("FrmMP3Editor") == Window, "writing a key changed another section");
}

void FuzzTimeCode(const std::string& Text) {
    int64_t Ms = -1;
    if (ParseTimeArgument(Text, Ms)) {
        Check(Ms >= 0, "a time that parses is negative", Text);
        int64_t Again = -1;
        const std::string Code = MsToTimeCode(Ms);
        Check(ParseTimeArgument(Code, Again) && Again == Ms, "a time code does not parse back", Text + " " + Code);
    }
    // The window's edit: any text of its width, normalised, gives some time.
    (void)TimeCodeToMs(NormalizeTimeCode(Text.substr(0, 13)));
}

bool IsWholeUtf8(const std::string& S) {
    for (size_t I = 0; I < S.size();) {
        const auto C = static_cast<unsigned char>(S[I]);
        const size_t Length = C < 0x80 ? 1 : (C >> 5) == 6 ? 2 : (C >> 4) == 14 ? 3 : (C >> 3) == 30 ? 4 : 0;
        if (Length == 0 || I + Length > S.size()) return false;
        for (size_t K = 1; K < Length; ++K)
            if ((static_cast<unsigned char>(S[I + K]) & 0xC0) != 0x80) return false;
        I += Length;
    }
    return true;
}

// Lines: the pattern, then a title and a performer for each piece.
void FuzzNames(const std::string& Text) {
    std::vector<std::string> Lines;
    std::istringstream In(Text);
    for (std::string Line; std::getline(In, Line) && Lines.size() < 41;) Lines.push_back(Line);
    if (Lines.empty()) return;
    std::string Bad;
    if (!CheckNamePattern(Lines[0], Bad)) return;
    std::vector<TSplitPiece> Pieces;
    for (size_t I = 1; I < Lines.size() || Pieces.empty(); I += 2) {
        TSplitPiece P;
        P.Number = static_cast<int>(Pieces.size()) + 1;
        if (I < Lines.size()) P.Title = Lines[I];
        if (I + 1 < Lines.size()) P.Performer = Lines[I + 1];
        Pieces.push_back(P);
    }
    NamePieces(Pieces, Lines[0], "Song", "folder");
    std::set<std::string> Seen;
    for (const TSplitPiece& P : Pieces) {
        Check(P.FileName.rfind("folder/", 0) == 0, "a name outside the folder", P.FileName);
        const std::string Name = P.FileName.substr(7);
        Check(Name.size() > 4 && Name.compare(Name.size() - 4, 4, ".mp3") == 0, "a name without .mp3", Name);
        Check(Name.find_first_of("/\\:*?\"<>|") == std::string::npos, "a refused character", Name);
        for (const char C : Name) Check(static_cast<unsigned char>(C) >= 0x20 && C != 0x7F, "a control character");
        Check(Name[0] != ' ', "a name that starts with a blank", Name);
        std::string Lower = Name;
        for (char& C : Lower)
            if (C >= 'A' && C <= 'Z') C = static_cast<char>(C - 'A' + 'a');
        Check(Seen.insert(Lower).second, "a name given twice", Name);
        if (IsWholeUtf8(Lines[0]) && IsWholeUtf8(P.Title) && IsWholeUtf8(P.Performer))
            Check(IsWholeUtf8(Name), "a character cut in two", Name);
    }
}

void FuzzCueSheet(const std::string& Bytes) {
    Check(CueTextAsUtf8(Bytes, 1252).find('\r') == std::string::npos, "a CR left for libcue");
    TCueSheet Sheet;
    try {
        Sheet = ParseCueSheet(Bytes, "fuzz.cue", "Song.mp3", 1252);
    } catch (const ECueSheetError&) {
        return;
    }
    Check(!Sheet.Tracks.empty(), "a sheet without tracks");
    for (size_t I = 0; I < Sheet.Tracks.size(); ++I) {
        Check(Sheet.Tracks[I].StartFrames >= 0, "a track before the start");
        if (I > 0) Check(Sheet.Tracks[I].StartFrames > Sheet.Tracks[I - 1].StartFrames, "tracks out of order");
    }
    const std::vector<TSplitPiece> Pieces = PiecesFromCue(Sheet);
    Check(Pieces.size() == Sheet.Tracks.size(), "a piece for each track");
    // The last piece runs to the end of the audio, wherever the sheet says it starts.
    for (size_t I = 0; I + 1 < Pieces.size(); ++I)
        Check(Pieces[I].StartMs < Pieces[I].EndMs, "a piece that ends before it starts");
    Check(Pieces.back().EndMs == EndOfAudio, "the last piece ends before the audio");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* Base =
        ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    IniName = std::string(Base) + "/segmora-fuzz-text-" + std::to_string(::getpid()) + ".ini";
    std::atexit(RemoveIni);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size == 0) return 0;
    const std::string Text(reinterpret_cast<const char*>(Data) + 1, Size - 1);
    switch (Data[0]) {
    case 'i': FuzzIni(Text); break;
    case 't': FuzzTimeCode(Text); break;
    case 'n': FuzzNames(Text); break;
    case 'c': FuzzCueSheet(Text); break;
    default:
        switch (Data[0] % 4) {
        case 0: FuzzIni(Text); break;
        case 1: FuzzTimeCode(Text); break;
        case 2: FuzzNames(Text); break;
        default: FuzzCueSheet(Text); break;
        }
    }
    return 0;
}
