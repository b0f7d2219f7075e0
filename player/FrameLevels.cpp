#include "player/FrameLevels.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mpg123.h>
#include <mutex>
#include <stdexcept>

#include "engine/FrameHeader.h"
#include "platform/FileStream.h"

namespace {

// Frames fed ahead of a range that starts inside the file: enough bytes for
// the largest bit reservoir back-reference of layer III (511 bytes) and
// frames enough to fill the overlap and synthesis filters. Starting the feed
// on a frame whose number is a multiple of 8 puts the synthesis filter's ring
// where a decode of the whole file has it, so the samples are bit for bit
// those of that decode, and so are the levels.
constexpr int64_t WarmUpBytes = 2048;
constexpr size_t WarmUpFrames = 4;
constexpr size_t WarmUpAlignment = 8;

// The largest frame the index can hold (a 12-bit length).
constexpr size_t MaxFrameBytes = 4096;

void InitialiseMpg123Once() {
    static std::once_flag Once;
    std::call_once(Once, [] { mpg123_init(); });  // a no-op in current versions, required in old ones
}

struct TDecoder {
    mpg123_handle* H = nullptr;
    // FreeFormatBytes: the frame length of a free-format stream without its
    // header and padding, which the decoder cannot find without reading ahead.
    explicit TDecoder(long FreeFormatBytes) {
        InitialiseMpg123Once();
        int Error = MPG123_OK;
        H = mpg123_new(nullptr, &Error);
        if (!H) throw std::runtime_error(std::string("MP3 decoder: ") + mpg123_plain_strerror(Error));
        // Every frame fed is audio and decodes to its full sample count: no
        // gapless trimming, no frame taken for an information frame, and no
        // waiting for the next frame's header, as the feed holds whole
        // frames only. Float output, as the level is measured on [-1, 1].
        mpg123_param(H, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
        mpg123_param(H, MPG123_ADD_FLAGS,
                     MPG123_QUIET | MPG123_FORCE_FLOAT | MPG123_IGNORE_INFOFRAME | MPG123_NO_READAHEAD, 0.0);
        if (FreeFormatBytes > 0) mpg123_param(H, MPG123_FREEFORMAT_SIZE, FreeFormatBytes, 0.0);
        if (mpg123_open_feed(H) != MPG123_OK) Fail("cannot take a stream");
    }
    ~TDecoder() { mpg123_delete(H); }
    TDecoder(const TDecoder&) = delete;
    TDecoder& operator=(const TDecoder&) = delete;

    [[noreturn]] void Fail(const char* What) const {
        throw std::runtime_error(std::string("MP3 decoder ") + What + ": " + mpg123_strerror(H));
    }
};

// Summed in four lanes: a single running sum would wait for each addition
// before the next, and the decoder's samples come in multiples of four.
double LevelDb(const float* Samples, size_t Count) {
    double Sum[4] = {0.0, 0.0, 0.0, 0.0};
    size_t I = 0;
    for (; I + 4 <= Count; I += 4)
        for (size_t L = 0; L < 4; ++L) Sum[L] += double(Samples[I + L]) * double(Samples[I + L]);
    for (; I < Count; ++I) Sum[0] += double(Samples[I]) * double(Samples[I]);
    const double Total = (Sum[0] + Sum[1]) + (Sum[2] + Sum[3]);
    if (Total <= 0.0) return -std::numeric_limits<double>::infinity();
    return 20.0 * std::log10(std::sqrt(Total / double(Count)));
}

}  // namespace

void ScanFrameLevels(const std::string& FileName, const TMp3FrameIndex& Index, size_t First, size_t End,
                     const TFrameLevelVisitor& Visit, const std::atomic<bool>* Stop) {
    End = std::min(End, Index.Count());
    if (First >= End) return;
    size_t Feed = First;
    int64_t WarmUp = 0;
    while (Feed > 0 && (First - Feed < WarmUpFrames || WarmUp < WarmUpBytes || Feed % WarmUpAlignment != 0))
        WarmUp += Index.Frames()[--Feed].Length;

    TFileStream Source(FileName, TFileMode::fmOpenRead);
    uint8_t Header[FrameHeaderBytes] = {0};
    auto HeaderAt = [&](size_t Number) {
        const TMp3FrameIndex::TIterator Frame = Index.From(Number);
        Source.SetPosition(Frame->Offset);
        Source.Read(Header, FrameHeaderBytes);
        return Frame->Length;
    };
    // A decoder that starts inside a CRC-protected stream decodes some of
    // its frames otherwise, for good, than one that started at its first
    // frame: such a stream is decoded from there.
    HeaderAt(Feed);
    if ((Header[1] & 0x01) == 0) Feed = 0;
    long FreeFormatBytes = 0;
    const int32_t FirstLength = HeaderAt(Feed);
    TFrameHeader Frame;
    if (DecodeFreeFormatHeader(Header, Frame))
        FreeFormatBytes = long(FirstLength) - FrameHeaderBytes - Frame.Padding * PaddingSlotBytes(Frame.Layer);
    TDecoder Decoder(FreeFormatBytes);
    uint8_t Bytes[MaxFrameBytes];
    int Channels = 0;
    // Decoded frames belong to the fed frames in order, and the decoder gives
    // each one out as soon as it has been fed (no read-ahead): a frame it
    // gave nothing for (it found it damaged) is reported as undecoded, so
    // that the frames after it keep their own levels.
    TMp3FrameIndex::TIterator Out = Index.From(Feed);
    auto Report = [&](const TFrameLevel& Level) {
        if (Out.Number() >= First) Visit(Out.Number(), *Out, Level);
        ++Out;
    };
    for (TMp3FrameIndex::TIterator In = Index.From(Feed); In.Number() < End; ++In) {
        if (Stop && Stop->load(std::memory_order_relaxed)) return;
        Source.SetPosition(In->Offset);
        Source.ReadBuffer(Bytes, In->Length);
        if (mpg123_feed(Decoder.H, Bytes, In->Length) != MPG123_OK) Decoder.Fail("cannot take a frame");
        for (;;) {
            off_t Number = 0;
            unsigned char* Audio = nullptr;
            size_t AudioBytes = 0;
            const int Result = mpg123_decode_frame(Decoder.H, &Number, &Audio, &AudioBytes);
            if (Result == MPG123_NEED_MORE || Result == MPG123_DONE) break;
            if (Result == MPG123_NEW_FORMAT) {
                long Rate = 0;
                int Encoding = 0;
                mpg123_getformat(Decoder.H, &Rate, &Channels, &Encoding);
                if (Encoding != MPG123_ENC_FLOAT_32) Decoder.Fail("gives no 32-bit float samples");
                continue;
            }
            if (Result != MPG123_OK) Decoder.Fail("failed");
            if (Out.Number() > In.Number() || Channels <= 0) continue;
            const size_t Count = AudioBytes / sizeof(float);
            if (Count == 0) continue;  // reported as undecoded below
            Report({LevelDb(reinterpret_cast<const float*>(Audio), Count), int64_t(Count) / Channels});
        }
        while (Out.Number() <= In.Number()) Report({std::numeric_limits<double>::infinity(), 0});
    }
}
