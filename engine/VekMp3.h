// The MP3 engine: analyses one file at a time (first frame header, tags,
// play length), cuts a time range out of it as whole frames copied byte for
// byte, and plays a range of it through the platform's media player.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/MediaPlayer.h"
#include "platform/FileStream.h"

#pragma pack(push, 1)
// In-memory ID3v1 tag. The first 127 bytes are written to files verbatim,
// so the layout is fixed; Track is where an ID3v1.1 tag keeps comment byte 29.
struct TId3v1Tag {
    char Header[3];
    char Title[30];
    char Artist[30];
    char Album[30];
    char Year[4];
    char Comment[30];
    uint8_t Track;
    uint8_t Genre;
};
#pragma pack(pop)

static_assert(sizeof(TId3v1Tag) == 129);
static_assert(offsetof(TId3v1Tag, Title) == 3);
static_assert(offsetof(TId3v1Tag, Artist) == 33);
static_assert(offsetof(TId3v1Tag, Album) == 63);
static_assert(offsetof(TId3v1Tag, Year) == 93);
static_assert(offsetof(TId3v1Tag, Comment) == 97);
static_assert(offsetof(TId3v1Tag, Track) == 127);
static_assert(offsetof(TId3v1Tag, Genre) == 128);

// The information of the file last analysed. Everything but FileName is
// meaningful only while Valid is true; Id3Tag only while Id3v1Size is 128.
struct TMp3DataInfo {
    std::string FileName;
    int64_t FileSize = 0;
    bool Valid = false;
    int32_t BitRate = 0;     // kbit/s of the first frame
    int32_t SampleRate = 0;  // Hz of the first frame
    int32_t FrameSize = 0;   // bytes of the first frame
    double Version = 0.0;    // 1.0, 2.0, 2.5; 0.0 for the reserved code
    int32_t Layer = 0;       // 1..3; 4 for the reserved code
    int32_t Padding = 0;
    bool Mono = false;
    bool Vbr = false;         // "Xing" at offset 36 of the first frame
    int32_t Id3v1Size = 0;    // 128 or 0
    int32_t Id3v2Size = 0;    // whole tag, header included, or 0
    int32_t ApeSize = 0;      // 32 (the footer) or 0
    int32_t ZeroPadding = 0;  // zero bytes between the ID3v2 tag and the first frame
    int64_t LengthMs = 0;
    TId3v1Tag Id3Tag{};
};

// Lookup tables, indexed as the frame header's codes are: [row-1][layer-1][index-1].
extern const int32_t BitRates[2][3][14];
extern const int32_t SampleRates[3][3];
extern const int32_t SamplesPerFrame[2][3];
extern const std::array<const char*, 148> Id3Genres;

// One decoded MPEG audio frame header.
struct TFrameHeader {
    double Version = 0.0;
    int32_t Layer = 0;
    int32_t BitRate = 0;
    int32_t SampleRate = 0;
    int32_t Padding = 0;
    int32_t Samples = 0;
    bool Mono = false;
    int32_t Length = 0;  // bytes, padding included
    double DurationMs = 0.0;
};

// Decodes H0..H3. False when H0 is not 0xFF or a code has no table entry
// (reserved version or layer, free-format or bad bit rate, reserved sample
// rate): such bytes are no frame.
bool DecodeFrameHeader(const uint8_t H[4], TFrameHeader& Frame);

// Position of the first non-zero byte at or after the stream's position, or -1.
// Count is the number of zero bytes passed over.
int64_t SkipZeroBytes(TFileStream& Stream, int32_t& Count);

// One step of the walk over the audio: a frame (written to Target when one is
// given), an ID3v2 tag stepped over, or four stray bytes dropped. Information
// frames (Xing/Info/VBRI) count nothing and are not written. A frame that runs
// past AudioEnd is not taken: the source is left at its end so the walk stops.
// Returns the source position afterwards.
int64_t CopyFrame(TFileStream& Source, TFileStream* Target, int64_t AudioEnd, int32_t& FrameBytes, double& FrameMs);
int64_t SkipFrame(TFileStream& Stream, int32_t& FrameBytes, double& FrameMs);

// The part of the analysis that needs only the open file: the first frame's
// header, the ID3v2, ID3v1 and APE tags. Sets every field of Info but
// FileName and LengthMs.
void AnalyseLayout(TFileStream& Source, TMp3DataInfo& Info);

// Walks the audio of an analysed file exactly as a cut of the whole file
// steps through it, calling Visit (when given) with the offset and header of
// each frame that cut would write. Returns their summed duration in ms.
using TFrameVisitor = std::function<void(int64_t Offset, const TFrameHeader& Frame)>;
double WalkAudioFrames(TFileStream& Source, const TMp3DataInfo& Info, const TFrameVisitor& Visit);

class TVekMP3 {
public:
    // Analyses AFileName when it names an existing file. The engine owns the
    // player; without one it measures and cuts but cannot play.
    explicit TVekMP3(const std::string& AFileName = std::string(), std::unique_ptr<TMediaPlayer> Player = nullptr);
    ~TVekMP3();
    TVekMP3(const TVekMP3&) = delete;
    TVekMP3& operator=(const TVekMP3&) = delete;

    void AnalyseFile(const std::string& AFileName);
    bool SaveSegment(int32_t StartMs, int32_t EndMs, const std::string& AFileName, TId3v1Tag Id3Tag, int64_t& ByteCount,
                     int64_t& DurationMs);

    bool PlayRange(int64_t FromMs, int64_t ToMs);
    void StopPlay();
    int64_t GetPlayPosition();
    bool IsStopped();

    TMediaPlayer* MediaPlayer() const { return FMediaPlayer.get(); }

    TMp3DataInfo DataInfo;

private:
    int64_t SkipToTime(TFileStream& Stream, int64_t& SkippedBytes, int64_t TargetMs, int64_t& SkippedMs);
    void WriteTag(TFileStream& Target, TId3v1Tag Id3Tag);
    int64_t FirstFrameOffset() const { return int64_t(DataInfo.Id3v2Size) + DataInfo.ZeroPadding; }
    int64_t AudioEnd() const { return DataInfo.FileSize - DataInfo.Id3v1Size - DataInfo.ApeSize; }

    std::unique_ptr<TMediaPlayer> FMediaPlayer;
};
