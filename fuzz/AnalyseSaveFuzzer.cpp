// libFuzzer target over the engine's two file operations: the input bytes are
// written to a file, analysed, and (when the engine takes them for an MP3)
// cut a few times into new files. Besides the sanitizers' own reports, every
// run checks what a caller relies on:
//
//  - nothing raises on any input (the files are readable and writable);
//  - a save of a valid source into a fresh name succeeds, one of an invalid
//    source fails, and a failed save leaves no file behind, temporary or not;
//  - a save into the source itself (same name, symbolic link, hard link,
//    "dir/./name"), into a directory or into an empty name fails and leaves
//    the source as it was; no save writes it;
//  - the new file holds ByteCount bytes, plus 128 when a tag was asked for,
//    plus the fresh information frame it may start with, and ends with
//    exactly that tag;
//  - a fresh information frame counts the bytes behind it, and its LAME
//    tag's CRCs check (over the frame, over the audio);
//  - an exact start lasts as long as the plain cut of the same range, and
//    holds at least its bytes;
//  - saving from 0 to the end gives DurationMs == LengthMs; no cut runs more
//    than one frame past its end or past LengthMs;
//  - analysing a new file again gives back the DurationMs the save reported
//    (unless its last bytes happen to read as a tag);
//  - every step of the walks moves forward: a hang shows up as a timeout;
//  - what a frame's first bytes say of its energy (engine/FrameEnergy.h),
//    read at every offset where a header decodes, is a finite bound;
//  - a piece with fades is as long as the piece without (layer III of a
//    bit rate the headers tell; refused otherwise, nothing left behind);
//  - a recorded change of gain, undone, gives back the very bytes; a
//    refused one leaves nothing behind; neither writes the source.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/Crc16.h"
#include "engine/FrameEnergy.h"
#include "engine/GainFile.h"
#include "engine/InfoFrame.h"
#include "engine/VekMp3.h"
#include "fuzz/FuzzCheck.h"

namespace {

// The longest frame in time: 1152 samples at 8 kHz.
constexpr int64_t LongestFrameMs = 144;

std::string WorkDir;
std::string SourceName, TargetName, SymlinkName, HardlinkName, DotName;

void RemoveWorkDir() {
    if (WorkDir.empty()) return;
    if (DIR* D = ::opendir(WorkDir.c_str())) {
        while (dirent* E = ::readdir(D)) {
            if (std::strcmp(E->d_name, ".") && std::strcmp(E->d_name, ".."))
                ::unlink((WorkDir + "/" + E->d_name).c_str());
        }
        ::closedir(D);
    }
    ::rmdir(WorkDir.c_str());
}

std::vector<uint8_t> ReadWhole(const std::string& Name) {
    std::vector<uint8_t> Bytes;
    const int Fd = ::open(Name.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0) Fail("cannot read back a file", Name + ": " + std::strerror(errno));
    uint8_t Chunk[65536];
    for (;;) {
        const ssize_t N = ::read(Fd, Chunk, sizeof Chunk);
        if (N < 0 && errno == EINTR) continue;
        if (N < 0) Fail("read error", Name);
        if (N == 0) break;
        Bytes.insert(Bytes.end(), Chunk, Chunk + N);
    }
    ::close(Fd);
    return Bytes;
}

// Rewrites the source in place, so that its inode (and the hard link to it) stays.
void WriteSource(const uint8_t* Data, size_t Size) {
    const int Fd = ::open(SourceName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (Fd < 0) Fail("cannot write the source", std::strerror(errno));
    size_t Done = 0;
    while (Done < Size) {
        const ssize_t N = ::write(Fd, Data + Done, Size - Done);
        if (N < 0 && errno == EINTR) continue;
        if (N <= 0) Fail("cannot write the source", std::strerror(errno));
        Done += static_cast<size_t>(N);
    }
    ::close(Fd);
}

// Names in the work directory other than the source and its two links.
std::vector<std::string> ExtraFiles() {
    std::vector<std::string> Names;
    DIR* D = ::opendir(WorkDir.c_str());
    if (!D) Fail("work directory gone");
    while (dirent* E = ::readdir(D)) {
        const std::string Name = E->d_name;
        if (Name == "." || Name == ".." || Name == "src.mp3" || Name == "link.mp3" || Name == "hard.mp3") continue;
        Names.push_back(Name);
    }
    ::closedir(D);
    return Names;
}

std::string Join(const std::vector<std::string>& Names) {
    std::string S;
    for (const auto& N : Names) S += (S.empty() ? "" : ", ") + N;
    return S;
}

bool BytesAt(const std::vector<uint8_t>& Bytes, int64_t At, const char* Text) {
    const auto Len = static_cast<int64_t>(std::strlen(Text));
    return At >= 0 && At + Len <= static_cast<int64_t>(Bytes.size()) && std::memcmp(Bytes.data() + At, Text, Len) == 0;
}

std::string Describe(int32_t StartMs, int32_t EndMs, bool Tagged) {
    return "cut " + std::to_string(StartMs) + ".." + std::to_string(EndMs) + (Tagged ? " with tag" : "");
}

uint16_t Word(const uint8_t* Data, size_t Size, size_t At) {
    const uint8_t Hi = At < Size ? Data[At] : 0;
    const uint8_t Lo = At + 1 < Size ? Data[At + 1] : 0;
    return static_cast<uint16_t>(Hi << 8 | Lo);
}

TId3v1Tag TagFrom(const uint8_t* Data, size_t Size) {
    TId3v1Tag Tag{};
    std::memcpy(Tag.Header, "TAG", 3);
    // Field texts (title to comment, 124 bytes) from the input itself: any byte values, zero or not.
    auto* Fields = reinterpret_cast<uint8_t*>(&Tag) + 3;
    for (size_t I = 0; I < 124; ++I) Fields[I] = Size ? Data[(I * 7 + 3) % Size] : 'x';
    Tag.Track = Size > 8 ? Data[8] : 0;
    Tag.Genre = Size > 9 ? Data[9] : 255;
    return Tag;
}

// The 128 bytes a tag occupies at the end of a file.
std::vector<uint8_t> TagBytes(const TId3v1Tag& Tag) {
    std::vector<uint8_t> Bytes(128);
    std::memcpy(Bytes.data(), &Tag, 127);
    if (Tag.Track > 0) {
        Bytes[125] = 0;
        Bytes[126] = Tag.Track;
    }
    Bytes[127] = Tag.Genre;
    return Bytes;
}

// The length of the information frame a new file starts with; 0 for none.
int LeadingInformationFrame(const std::vector<uint8_t>& Out) {
    if (Out.size() < FrameHeaderBytes) return 0;
    uint8_t Head[InfoHeadBytes] = {0};
    std::memcpy(Head, Out.data(), std::min(Out.size(), sizeof Head));
    TFrameHeader Frame;
    if (!DecodeFrameHeader(Head, Frame) || size_t(Frame.Length) > Out.size()) return 0;
    return IsInformationFrame(Frame, Head) ? Frame.Length : 0;
}

void CheckInformationFrame(const std::vector<uint8_t>& Out, int Fresh, int64_t ByteCount, const std::string& What) {
    const TInfoFrame Info = ParseInfoFrame(Out.data(), Fresh);
    Check(Info.Frames && *Info.Frames > 0 && Info.Bytes && Info.Lame, "a fresh information frame lacks a field", What);
    Check(int64_t(*Info.Bytes) == Fresh + ByteCount && Info.Lame->MusicLength == *Info.Bytes,
          "a fresh information frame miscounts the bytes", What);
    Check(Info.Lame->TagCrcMatches, "the LAME tag's CRC does not check", What);
    Check(Info.Lame->MusicCrc == Crc16(Out.data() + Fresh, size_t(ByteCount)), "the music CRC does not check", What);
}

void CheckRefused(TVekMP3& Engine, const std::string& Name, const std::vector<uint8_t>& Input) {
    int64_t Bytes = -1, Ms = -1;
    TId3v1Tag Tag{};
    std::memcpy(Tag.Header, "TAG", 3);
    const bool Result = Engine.SaveSegment(0, INT32_MAX, Name, Tag, Bytes, Ms);
    Check(!Result, "a save into the source itself, a directory or no name succeeded", "\"" + Name + "\"");
    Check(ReadWhole(SourceName) == Input, "a refused save changed the source", Name);
    Check(ExtraFiles().empty(), "a refused save left a file behind", Join(ExtraFiles()));
}

struct TCut {
    int64_t ByteCount = -1, DurationMs = -1;
};

TCut CheckCut(TVekMP3& Engine, const std::vector<uint8_t>& Input, int32_t StartMs, int32_t EndMs, const TId3v1Tag* Tag,
              bool Exact = false) {
    const TMp3DataInfo Info = Engine.DataInfo;
    const std::string What = Describe(StartMs, EndMs, Tag != nullptr) + (Exact ? ", exact" : "");
    int64_t ByteCount = -1, DurationMs = -1;
    TSaveOptions Options;
    Options.Exact = Exact;
    const bool Result =
        Engine.SaveSegment(StartMs, EndMs, TargetName, Tag ? *Tag : TId3v1Tag{}, ByteCount, DurationMs, Options);
    const TCut Cut{ByteCount, DurationMs};

    Check(ReadWhole(SourceName) == Input, "a save changed the source", What);
    const std::vector<std::string> Extra = ExtraFiles();
    if (!Result) {
        Check(!Info.Valid, "a save of a valid source into a fresh name failed", What);
        Check(Extra.empty(), "a failed save left a file behind", What + ": " + Join(Extra));
        return Cut;
    }
    Check(Info.Valid, "a save of an invalid source succeeded", What);
    Check(Extra.size() == 1 && Extra[0] == "out.mp3", "a save left other files than the target",
          What + ": " + Join(Extra));

    // The work directory holds no target between cuts.
    struct TRemove {
        ~TRemove() { ::unlink(TargetName.c_str()); }
    } RemoveTarget;
    const std::vector<uint8_t> Out = ReadWhole(TargetName);
    const int64_t Size = static_cast<int64_t>(Out.size());
    const int Fresh = LeadingInformationFrame(Out);
    const int64_t Expected = Fresh + ByteCount + (Tag ? 128 : 0);
    Check(ByteCount >= 0 && DurationMs >= 0, "negative ByteCount or DurationMs", What);
    Check(Size == Expected, "file size differs from ByteCount (+128 with a tag, + the information frame)",
          What + ": size " + std::to_string(Size) + ", ByteCount " + std::to_string(ByteCount) +
              ", information frame " + std::to_string(Fresh));
    Check(Fresh == 0 || ByteCount > 0, "an information frame without audio", What);
    if (Fresh > 0) CheckInformationFrame(Out, Fresh, ByteCount, What);
    Check(ByteCount <= Info.FileSize, "ByteCount larger than the source", What);
    if (Tag) {
        const std::vector<uint8_t> Want = TagBytes(*Tag);
        Check(std::equal(Want.begin(), Want.end(), Out.end() - 128), "the file does not end with the tag asked for",
              What);
    }
    if (ByteCount > 0) Check(Out[0] == 0xFF, "the new file does not start with a frame", What);

    Check(DurationMs <= Info.LengthMs + LongestFrameMs, "DurationMs beyond LengthMs + one frame",
          What + ": " + std::to_string(DurationMs) + " > " + std::to_string(Info.LengthMs));
    if (EndMs > StartMs)
        Check(DurationMs <= int64_t(EndMs) - StartMs + LongestFrameMs, "cut runs more than one frame past its end",
              What + ": DurationMs " + std::to_string(DurationMs));
    if (StartMs == 0 && EndMs == INT32_MAX)
        Check(DurationMs == Info.LengthMs, "saving everything does not give LengthMs",
              What + ": " + std::to_string(DurationMs) + " != " + std::to_string(Info.LengthMs));

    // The new file read back: a sequence of whole frames, so the engine must
    // measure the same length, unless the last audio bytes read as a tag.
    const int64_t AudioEnd = Fresh + ByteCount;
    const bool LooksTagged = !Tag && BytesAt(Out, AudioEnd - 128, "TAG");
    const bool LooksApe = BytesAt(Out, AudioEnd - 32, "APETAGEX");
    if (LooksTagged || LooksApe) return Cut;
    // A free-format frame is as long as the distance to the next frame of its
    // stream: where the piece mixes such headers into other frames, its end
    // and its dropped stray bytes may measure them otherwise than the source.
    TFrameHeader Free;
    for (size_t I = 0; I + FrameHeaderBytes <= Out.size(); ++I)
        if (DecodeFreeFormatHeader(Out.data() + I, Free)) return Cut;

    const TMp3DataInfo Saved = Info;
    Engine.AnalyseFile(TargetName);
    const TMp3DataInfo Again = Engine.DataInfo;
    Check(Again.FileSize == Size, "file size read back differs", What);
    Check(Again.Valid == (ByteCount > 0), "the new file's validity does not follow its byte count", What);
    if (Again.Valid) {
        Check(Again.Id3v2Size == 0 && Again.ZeroPadding == 0, "the new file reads as starting with a tag", What);
        Check(Again.Id3v1Size == (Tag ? 128 : 0), "the new file's tag not found again", What);
        // The frames in front of an exact start count in the length the walk measures.
        Check(Exact ? Again.LengthMs >= DurationMs : Again.LengthMs == DurationMs,
              "the new file's length differs from DurationMs",
              What + ": " + std::to_string(Again.LengthMs) + " != " + std::to_string(DurationMs));
    }
    // Back to the source for the next cut.
    Engine.AnalyseFile(SourceName);
    const TMp3DataInfo& Back = Engine.DataInfo;
    Check(Back.Valid == Saved.Valid && Back.LengthMs == Saved.LengthMs && Back.FileSize == Saved.FileSize &&
              Back.Id3v1Size == Saved.Id3v1Size && Back.ApeSize == Saved.ApeSize,
          "analysing the same source twice differs", What);
    return Cut;
}

// The middle third with fades, against the same piece without.
void CheckFades(TVekMP3& Engine, const std::vector<uint8_t>& Input, int32_t StartMs, int32_t EndMs, const TCut& Plain) {
    TSaveOptions Options;
    Options.Fades = {std::max(EndMs - StartMs, 2) / 2, 100};
    int64_t ByteCount = -1, DurationMs = -1;
    const bool Result = Engine.SaveSegment(StartMs, EndMs, TargetName, {}, ByteCount, DurationMs, Options);
    Check(ReadWhole(SourceName) == Input, "a save with fades changed the source");
    const bool Changeable = Engine.DataInfo.Layer == 3 && !Engine.DataInfo.FreeFormat;
    if (Result) {
        Check(Changeable && ByteCount == Plain.ByteCount && DurationMs == Plain.DurationMs,
              "a piece with fades differs in length from the piece without, or was not refused");
        ::unlink(TargetName.c_str());
    } else {
        Check(!Engine.DataInfo.Valid || Engine.LastSaveFailure() == TSaveFailure::GainUnchangeable,
              "a save with fades failed for another reason");
    }
    Check(ExtraFiles().empty(), "a save with fades left a file behind", Join(ExtraFiles()));
}

void CheckGain(const std::vector<uint8_t>& Input) {
    const TGainResult Down = ChangeGain(SourceName, TargetName, TExisting::Replace, {-3, 0, -1, true, false});
    Check(ReadWhole(SourceName) == Input, "a change of gain changed the source");
    if (!Down.Saved) {
        Check(ExtraFiles().empty(), "a refused change of gain left a file behind", Join(ExtraFiles()));
        return;
    }
    const TGainResult Back = ChangeGain(TargetName, TargetName, TExisting::Replace, {0, 0, -1, false, true});
    Check(Back.Saved, "the undo of a recorded change of gain was refused");
    Check(ReadWhole(TargetName) == Input, "the undo of a change of gain did not give back the very bytes");
    ::unlink(TargetName.c_str());
}

void RunOne(const uint8_t* Data, size_t Size) {
    const std::vector<uint8_t> Input(Data, Data + Size);
    WriteSource(Data, Size);
    ::unlink(TargetName.c_str());

    TVekMP3 Engine;
    Engine.AnalyseFile(SourceName);
    const TMp3DataInfo Info = Engine.DataInfo;
    Check(Info.FileSize == static_cast<int64_t>(Size), "FileSize differs from the file's size");
    if (Info.Valid) {
        Check(Info.Id3v1Size == 0 || Info.Id3v1Size == 128, "Id3v1Size neither 0 nor 128");
        Check(Info.ApeSize == 0 || Info.ApeSize == 32, "ApeSize neither 0 nor 32");
        Check(Info.Id3v2Size >= 0 && Info.ZeroPadding >= 0, "negative tag sizes");
        Check(Info.Id3v2Size + int64_t(Info.ZeroPadding) + 4 <= Info.FileSize, "first frame outside the file");
        Check(Info.Layer >= 1 && Info.Layer <= 3 && Info.BitRate > 0 && Info.SampleRate > 0 && Info.FrameSize > 0,
              "valid file with an impossible first header");
        // No frame lasts longer than its bytes at 8 kbit/s take (about 1 ms a byte).
        Check(Info.LengthMs >= 0 && Info.LengthMs <= Info.FileSize + Info.FileSize / 20 + LongestFrameMs,
              "LengthMs out of proportion to the file size", std::to_string(Info.LengthMs));
    }

    // Refusals first: they must not touch the source.
    if (Info.Valid) {
        for (const std::string& Name : {SourceName, SymlinkName, HardlinkName, DotName, WorkDir, std::string()})
            CheckRefused(Engine, Name, Input);
    }

    const int64_t L = Info.LengthMs;
    const TId3v1Tag Tag = TagFrom(Data, Size);
    // Everything, without a tag.
    CheckCut(Engine, Input, 0, INT32_MAX, nullptr);
    // The middle third, with a tag, and with an exact start.
    const int32_t Third = static_cast<int32_t>(L / 3), TwoThirds = static_cast<int32_t>(2 * L / 3 + 1);
    const TCut Plain = CheckCut(Engine, Input, Third, TwoThirds, &Tag);
    const TCut Exact = CheckCut(Engine, Input, Third, TwoThirds, &Tag, true);
    CheckFades(Engine, Input, Third, TwoThirds, Plain);
    CheckGain(Input);
    Check(Exact.DurationMs == Plain.DurationMs && Exact.ByteCount >= Plain.ByteCount,
          "an exact start changes the piece's duration or holds less",
          std::to_string(Exact.DurationMs) + " ms, " + std::to_string(Exact.ByteCount) + " bytes against " +
              std::to_string(Plain.DurationMs) + " ms, " + std::to_string(Plain.ByteCount) + " bytes");
    // A range taken from the input's first bytes (behind a 4-byte header),
    // reaching past the end now and then.
    {
        const int64_t Start = Word(Data, Size, 4) % (L + 300);
        const int64_t Len = 1 + Word(Data, Size, 6) % (L + 300);
        CheckCut(Engine, Input, static_cast<int32_t>(Start), static_cast<int32_t>(Start + Len),
                 (Size > 10 && (Data[10] & 1)) ? &Tag : nullptr);
    }
    // The last moment only.
    CheckCut(Engine, Input, static_cast<int32_t>(L > 0 ? L - 1 : 0), static_cast<int32_t>(L + 1), nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* Base =
        ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    std::string Pattern = std::string(Base) + "/segmora-fuzz-XXXXXX";
    std::vector<char> Name(Pattern.begin(), Pattern.end());
    Name.push_back('\0');
    if (!::mkdtemp(Name.data())) Fail("cannot create a work directory", std::strerror(errno));
    WorkDir = Name.data();
    std::atexit(RemoveWorkDir);
    SourceName = WorkDir + "/src.mp3";
    TargetName = WorkDir + "/out.mp3";
    SymlinkName = WorkDir + "/link.mp3";
    HardlinkName = WorkDir + "/hard.mp3";
    DotName = WorkDir + "/./src.mp3";
    WriteSource(nullptr, 0);
    if (::symlink("src.mp3", SymlinkName.c_str()) != 0 || ::link(SourceName.c_str(), HardlinkName.c_str()) != 0)
        Fail("cannot link the source", std::strerror(errno));
    return 0;
}

// The side information or scale factors wherever a header decodes.
void CheckFrameEnergy(const uint8_t* Data, size_t Size) {
    for (size_t At = 0; At + FrameHeaderBytes <= Size; ++At) {
        TFrameHeader Frame;
        if (!DecodeFrameHeader(Data + At, Frame)) continue;
        const TFrameEnergy E = ReadFrameEnergy(Data + At, int(std::min<size_t>(Size - At, INT_MAX)), Frame);
        if (!E.Known) continue;
        Check(E.Units >= 1 && E.Units <= 2 && E.Channels >= 1 && E.Channels <= 2, "a frame's units or channels");
        for (int U = 0; U < E.Units; ++U)
            Check(std::isfinite(E.Unit[U].Bound) && E.Unit[U].Bound >= 0.0 && E.Unit[U].Estimate >= 0.0,
                  "a frame's energy bound");
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    try {
        CheckFrameEnergy(Data, Size);
        RunOne(Data, Size);
    } catch (const std::exception& E) {
        Fail("the engine raised", E.what());
    }
    return 0;
}
