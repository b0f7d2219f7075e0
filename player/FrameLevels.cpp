#include "player/FrameLevels.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <mpg123.h>
#include <mutex>
#include <stdexcept>

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
    TDecoder() {
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
        if (mpg123_open_feed(H) != MPG123_OK) Fail("cannot take a stream");
    }
    ~TDecoder() { mpg123_delete(H); }
    TDecoder(const TDecoder&) = delete;
    TDecoder& operator=(const TDecoder&) = delete;

    [[noreturn]] void Fail(const char* What) const {
        throw std::runtime_error(std::string("MP3 decoder ") + What + ": " + mpg123_strerror(H));
    }
};

double Db(double Amplitude) {
    return Amplitude > 0.0 ? 20.0 * std::log10(Amplitude) : -std::numeric_limits<double>::infinity();
}

// Summed in four lanes: a single running sum would wait for each addition
// before the next, and the decoder's samples come in multiples of four.
TFrameLevel LevelOf(const float* Samples, size_t Count, int Channels) {
    double Sum[4] = {0.0, 0.0, 0.0, 0.0};
    float Peak[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    size_t I = 0;
    for (; I + 4 <= Count; I += 4)
        for (size_t L = 0; L < 4; ++L) {
            Sum[L] += double(Samples[I + L]) * double(Samples[I + L]);
            Peak[L] = std::max(Peak[L], std::fabs(Samples[I + L]));
        }
    for (; I < Count; ++I) {
        Sum[0] += double(Samples[I]) * double(Samples[I]);
        Peak[0] = std::max(Peak[0], std::fabs(Samples[I]));
    }
    const double Total = (Sum[0] + Sum[1]) + (Sum[2] + Sum[3]);
    const float Largest = std::max(std::max(Peak[0], Peak[1]), std::max(Peak[2], Peak[3]));
    return {Db(std::sqrt(Total / double(Count))), int64_t(Count) / Channels, Db(Largest)};
}

}  // namespace

struct TLevelDecoder::TState {
    const TMp3FrameIndex& Index;
    TFileStream Source;
    TDecoder Decoder;
    bool Used = false;
    int Channels = 0;  // of the output format, told once while it stays the same
    TState(const std::string& FileName, const TMp3FrameIndex& I) : Index(I), Source(FileName, TFileMode::fmOpenRead) {}
};

TLevelDecoder::TLevelDecoder(const std::string& FileName, const TMp3FrameIndex& Index)
    : F(std::make_unique<TState>(FileName, Index)) {}

TLevelDecoder::~TLevelDecoder() = default;

size_t TLevelDecoder::ExactFeed(const TMp3FrameIndex& Index, size_t First) {
    size_t Feed = std::min(First, Index.Count());
    int64_t WarmUp = 0;
    while (Feed > 0 && (First - Feed < WarmUpFrames || WarmUp < WarmUpBytes || Feed % WarmUpAlignment != 0))
        WarmUp += Index.Frames()[--Feed].Length;
    return Feed;
}

bool TLevelDecoder::Decode(size_t Feed, size_t First, size_t End, const TFrameLevelVisitor& Visit,
                           const std::atomic<bool>* Stop) {
    const TMp3FrameIndex& Index = F->Index;
    End = std::min(End, Index.Count());
    Feed = std::min(Feed, First);
    if (First >= End) return true;
    mpg123_handle* const H = F->Decoder.H;
    // A fresh stream: nothing of the stretch before carries over.
    if (F->Used && mpg123_open_feed(H) != MPG123_OK) F->Decoder.Fail("cannot take a stream");
    F->Used = true;
    uint8_t Bytes[MaxFrameBytes];
    int& Channels = F->Channels;
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
        if (Stop && Stop->load(std::memory_order_relaxed)) return false;
        F->Source.SetPosition(In->Offset);
        F->Source.ReadBuffer(Bytes, In->Length);
        if (mpg123_feed(H, Bytes, In->Length) != MPG123_OK) F->Decoder.Fail("cannot take a frame");
        for (;;) {
            off_t Number = 0;
            unsigned char* Audio = nullptr;
            size_t AudioBytes = 0;
            const int Result = mpg123_decode_frame(H, &Number, &Audio, &AudioBytes);
            if (Result == MPG123_NEED_MORE || Result == MPG123_DONE) break;
            if (Result == MPG123_NEW_FORMAT) {
                long Rate = 0;
                int Encoding = 0;
                mpg123_getformat(H, &Rate, &Channels, &Encoding);
                if (Encoding != MPG123_ENC_FLOAT_32) F->Decoder.Fail("gives no 32-bit float samples");
                continue;
            }
            if (Result != MPG123_OK) F->Decoder.Fail("failed");
            if (Out.Number() > In.Number() || Channels <= 0) continue;
            const size_t Count = AudioBytes / sizeof(float);
            if (Count == 0) continue;  // reported as undecoded below
            Report(LevelOf(reinterpret_cast<const float*>(Audio), Count, Channels));
        }
        constexpr double Undecoded = std::numeric_limits<double>::infinity();
        while (Out.Number() <= In.Number()) Report({Undecoded, 0, Undecoded});
    }
    return true;
}

void ScanFrameLevels(const std::string& FileName, const TMp3FrameIndex& Index, size_t First, size_t End,
                     const TFrameLevelVisitor& Visit, const std::atomic<bool>* Stop) {
    End = std::min(End, Index.Count());
    if (First >= End) return;
    TLevelDecoder(FileName, Index).Decode(TLevelDecoder::ExactFeed(Index, First), First, End, Visit, Stop);
}
