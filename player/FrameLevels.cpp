#include "player/FrameLevels.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <mpg123.h>
#include <mutex>
#include <stdexcept>

#include "engine/FrameHeader.h"
#include "engine/InfoFrame.h"
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

constexpr double Undecoded = std::numeric_limits<double>::infinity();

// Layer III main data reaches back at most this many bytes (9 bits in
// MPEG 1, 8 in MPEG 2 and 2.5).
constexpr int MaxMainDataBegin1 = 511, MaxMainDataBegin2 = 255;
// The header's largest bit rate: a frame with room for all of that.
constexpr uint8_t LargestBitRateIndex = 14;
constexpr int CrcBytes = 2;

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
    int Channels = 0;  // of the output format, told once while it stays the same
    size_t LeadNumber = 0;
    uint8_t CarrierBytes[2048];
    TState(const std::string& FileName, const TMp3FrameIndex& I) : Index(I), Source(FileName, TFileMode::fmOpenRead) {}

    // A fresh stream from frame Number on: nothing of the stretch before
    // carries over. The frame length of a free-format stream (without its
    // header and padding), which the decoder cannot find without reading
    // ahead, is told before the stream starts.
    void Restart(size_t Number) {
        const TMp3IndexedFrame First = Index.Frames()[Number];
        uint8_t Header[FrameHeaderBytes] = {0};
        Source.SetPosition(First.Offset);
        Source.Read(Header, FrameHeaderBytes);
        TFrameHeader Free;
        const long FreeFormatBytes =
            DecodeFreeFormatHeader(Header, Free)
                ? long(First.Length) - FrameHeaderBytes - Free.Padding * PaddingSlotBytes(Free.Layer)
                : -1;
        mpg123_param(Decoder.H, MPG123_FREEFORMAT_SIZE, FreeFormatBytes, 0.0);
        if (mpg123_open_feed(Decoder.H) != MPG123_OK) Decoder.Fail("cannot take a stream");
    }
    // A decoder that starts inside a CRC-protected stream decodes some of
    // its frames otherwise, for good, than one that started at its first
    // frame: such a stream is decoded from there.
    bool Protected(size_t Number) {
        uint8_t Header[FrameHeaderBytes] = {0};
        Source.SetPosition(Index.Frames()[Number].Offset);
        Source.Read(Header, FrameHeaderBytes);
        return (Header[1] & 0x01) == 0;
    }
    void Read(const TMp3IndexedFrame& Frame, uint8_t* Bytes) {
        Source.SetPosition(Frame.Offset);
        Source.ReadBuffer(Bytes, Frame.Length);
    }
    // Feeds a frame and shows Take the level of each frame the decoder gives
    // out for it (one, or none for a frame it finds damaged); Measured false
    // when the samples are not wanted, only what the decoder keeps of them.
    template <class TTake>
    void Feed(const uint8_t* Bytes, size_t Length, TTake&& Take, bool Measured = true) {
        mpg123_handle* const H = Decoder.H;
        if (mpg123_feed(H, Bytes, Length) != MPG123_OK) Decoder.Fail("cannot take a frame");
        for (;;) {
            off_t Number = 0;
            unsigned char* Audio = nullptr;
            size_t AudioBytes = 0;
            const int Result = mpg123_decode_frame(H, &Number, &Audio, &AudioBytes);
            if (Result == MPG123_NEED_MORE || Result == MPG123_DONE) return;
            if (Result == MPG123_NEW_FORMAT) {
                long Rate = 0;
                int Encoding = 0;
                mpg123_getformat(H, &Rate, &Channels, &Encoding);
                if (Encoding != MPG123_ENC_FLOAT_32) Decoder.Fail("gives no 32-bit float samples");
                continue;
            }
            if (Result != MPG123_OK) Decoder.Fail("failed");
            const size_t Count = AudioBytes / sizeof(float);
            if (Count > 0 && Channels > 0 && Measured)
                Take(LevelOf(reinterpret_cast<const float*>(Audio), Count, Channels));
        }
    }
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
    if (F->Protected(Feed)) Feed = 0;
    F->Restart(Feed);
    uint8_t Bytes[MaxFrameBytes];
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
        F->Read(*In, Bytes);
        if (In.Number() < First) {  // its samples only prepare the decoder
            F->Feed(
                Bytes, In->Length, [](const TFrameLevel&) {}, false);
            ++Out;
            continue;
        }
        F->Feed(Bytes, In->Length, [&](const TFrameLevel& Level) {
            if (Out.Number() <= In.Number()) Report(Level);
        });
        while (Out.Number() <= In.Number()) Report({Undecoded, 0, Undecoded});
    }
    return true;
}

bool TLevelDecoder::Protected() { return F->Index.Count() > 0 && F->Protected(0); }

size_t TLevelDecoder::CarrierFor(const uint8_t* Lead) {
    TFrameHeader Header;
    if (!DecodeFrameHeader(Lead, Header) || Header.Layer != 3) return 0;
    const int Reservoir = Header.Version == 1.0 ? MaxMainDataBegin1 : MaxMainDataBegin2;
    // The largest frame of its kind, without CRC: room for the reservoir.
    uint8_t* const Carrier = F->CarrierBytes;
    std::copy(Lead, Lead + FrameHeaderBytes, Carrier);
    Carrier[1] |= 0x01;
    Carrier[2] = uint8_t((LargestBitRateIndex << 4) | (Lead[2] & 0x0D));
    TFrameHeader Shape;
    if (!DecodeFrameHeader(Carrier, Shape) || Shape.Length > int(sizeof F->CarrierBytes) ||
        Shape.Length - SideInfoEnd(Shape) < Reservoir)
        return 0;
    const size_t Length = size_t(Shape.Length);
    std::fill(Carrier + FrameHeaderBytes, Carrier + Length, uint8_t(0));
    // The last bytes of the frames before Lead, the latest last, each frame's
    // bytes behind its side information only.
    int Have = 0;
    uint8_t Bytes[MaxFrameBytes];
    for (size_t K = F->LeadNumber; K > 0 && Have < Reservoir;) {
        const TMp3IndexedFrame Before = F->Index.Frames()[--K];
        F->Read(Before, Bytes);
        TFrameHeader H;
        if (!DecodeFrameHeader(Bytes, H) || H.Layer != 3 || H.Version != Header.Version || H.Mono != Header.Mono) break;
        const int Behind = Before.Length - SideInfoEnd(H) - ((Bytes[1] & 1) ? 0 : CrcBytes);
        const int Take = std::clamp(Reservoir - Have, 0, std::max(Behind, 0));
        std::copy(Bytes + Before.Length - Take, Bytes + Before.Length, Carrier + Length - Have - Take);
        Have += Take;
    }
    return Length;
}

TFrameLevel TLevelDecoder::DecodeAlone(size_t Number, size_t* Fed) {
    const TMp3FrameIndex& Index = F->Index;
    const TMp3IndexedFrame Frame = Index.Frames()[Number];
    // The frames whose values reach its samples: one of 1152 samples (the
    // lapped transform's overlap and the synthesis filter's 15 subband
    // samples lie in it), two of fewer.
    const size_t Reach = Frame.Samples == 1152 ? 1 : 2;
    TFrameLevel Level{Undecoded, 0, Undecoded};
    const auto Take = [&](const TFrameLevel& L) { Level = L; };
    if (Number < Reach) {
        Decode(0, Number, Number + 1, [&](size_t, const TMp3IndexedFrame&, const TFrameLevel& L) { Level = L; });
        if (Fed) *Fed = Number + 1;
        return Level;
    }
    // Layer III: the main data of the first of them lies in the frames
    // before it. They are not fed: a frame of silence is, that carries
    // their last bytes, as many as main data may reach back for.
    const size_t Lead = Number - Reach;
    F->Restart(Lead);
    uint8_t Bytes[MaxFrameBytes];
    TMp3FrameIndex::TIterator It = Index.From(Lead);
    F->Read(*It, Bytes);
    F->LeadNumber = Lead;
    const size_t Carrier = CarrierFor(Bytes);
    const auto Skip = [](const TFrameLevel&) {};
    if (Carrier > 0) F->Feed(F->CarrierBytes, Carrier, Skip, false);
    if (Fed) *Fed = Reach + 1 + (Carrier > 0 ? 1 : 0);
    for (;; ++It) {
        if (It.Number() > Lead) F->Read(*It, Bytes);
        if (It.Number() < Number) {
            F->Feed(Bytes, It->Length, Skip, false);
            continue;
        }
        F->Feed(Bytes, It->Length, Take);
        return Level;
    }
}

void ScanFrameLevels(const std::string& FileName, const TMp3FrameIndex& Index, size_t First, size_t End,
                     const TFrameLevelVisitor& Visit, const std::atomic<bool>* Stop) {
    End = std::min(End, Index.Count());
    if (First >= End) return;
    TLevelDecoder(FileName, Index).Decode(TLevelDecoder::ExactFeed(Index, First), First, End, Visit, Stop);
}
