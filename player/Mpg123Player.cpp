#include "player/Mpg123Player.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mpg123.h>
#include <sys/stat.h>
#include <vector>

#include "platform/FileStream.h"

namespace {

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void InitialiseMpg123Once() {
    static std::once_flag Once;
    std::call_once(Once, [] { mpg123_init(); });  // a no-op in current versions, required in old ones
}

// Frames fed ahead of the first one heard: enough for the largest bit
// reservoir back-reference of layer III (511 bytes of main data) and for the
// synthesis filters' state, so the first frame heard decodes as in a decode
// of the whole file.
constexpr int64_t PrerollBytes = 1024;
constexpr size_t PrerollMinFrames = 2;
// The synthesis filter works through a ring of 16 blocks of 32 samples; a
// frame moves it by 12, 18 or 36 blocks. Decoding from a frame whose number
// is a multiple of 8 puts the ring where a decode of the whole file has it,
// so that the samples are bit for bit those of that decode (otherwise they
// may differ by one in the last bit).
constexpr size_t PrerollAlignment = 8;

struct TMpg123Handle {
    mpg123_handle* H = nullptr;
    ~TMpg123Handle() {
        if (H) mpg123_delete(H);
    }
};

}  // namespace

TMpg123Player::TMpg123Player(std::unique_ptr<TAudioSink> Sink) : FSink(std::move(Sink)) { InitialiseMpg123Once(); }

TMpg123Player::~TMpg123Player() { Close(); }

void TMpg123Player::StopThread() {
    if (!FThread.joinable()) return;
    FStop.store(true, std::memory_order_release);
    FSink->Interrupt();
    FThread.join();
}

void TMpg123Player::Close() {
    StopThread();
    FStream.reset();
    FOpen = false;
    FHasEnd = false;
    FMode.store(TMPModes::mpNotReady, std::memory_order_release);
}

void TMpg123Player::SetFileName(const std::string& FileName) { FFileName = FileName; }

void TMpg123Player::SetTimeFormat(TMPTimeFormats) {
    // Milliseconds is the only format there is.
}

void TMpg123Player::Open() {
    Close();
    if (FFileName.empty()) throw EMediaPlayerError("The media player has no file to open.");
    std::unique_ptr<TFileStream> Stream;
    try {
        Stream = std::make_unique<TFileStream>(FFileName, TFileMode::fmOpenRead);
    } catch (const EStreamError& E) {
        throw EMediaPlayerError(E.what());
    }
    TFileKey Key;
    Key.Name = FFileName;
    struct stat St {};
    if (::stat(FFileName.c_str(), &St) == 0) {
        Key.Device = St.st_dev;
        Key.Inode = St.st_ino;
        Key.MTimeNs = int64_t(St.st_mtim.tv_sec) * 1000000000 + St.st_mtim.tv_nsec;
    }
    Key.Size = Stream->Size();
    const TFileIdentity Id = Stream->Identity();
    const bool SameFile = Key.Device == uint64_t(Id.Device) && Key.Inode == uint64_t(Id.Inode);
    if (!FIndex || !SameFile || !(Key == FIndexKey)) {
        FIndex.reset();
        FIndex = std::make_shared<const TMp3FrameIndex>(TMp3FrameIndex::Build(*Stream));
        FIndexKey = SameFile ? Key : TFileKey();
    }
    // The sound device is opened by Play, not here: the analysis opens the
    // player for every file, and a machine without sound must still be able
    // to open, measure and cut files.
    FStream = std::move(Stream);
    FOpen = true;
    FStartMs = 0;
    FHasEnd = false;
    FStartFrame = 0;
    FStartTimeMs = 0.0;
    FStoppedPosition.store(0, std::memory_order_relaxed);
    FMode.store(TMPModes::mpStopped, std::memory_order_release);
}

int32_t TMpg123Player::Length() {
    if (!FOpen) return 0;
    return static_cast<int32_t>(std::min<int64_t>(FIndex->LengthMs(), std::numeric_limits<int32_t>::max()));
}

void TMpg123Player::SetPosition(int32_t Ms) {
    if (FThread.joinable()) {
        // As a seek does: playback stops where it is.
        StopThread();
    }
    FStartMs = Ms;
    FStoppedPosition.store(Ms, std::memory_order_relaxed);
}

void TMpg123Player::SetEndPos(int32_t Ms) {
    FEndMs = Ms;
    FHasEnd = true;
}

void TMpg123Player::Play() {
    if (!FOpen) throw EMediaPlayerError("The media player is not open.");
    StopThread();
    const bool HasEnd = FHasEnd;
    FHasEnd = false;  // the end position holds for this Play only
    FMode.store(TMPModes::mpStopped, std::memory_order_release);

    const TMp3FrameIndex& Index = *FIndex;
    const size_t First = Index.FirstFrameAtOrAfter(std::max<int32_t>(FStartMs, 0));
    const double EndMs = std::min<double>(HasEnd ? double(FEndMs) : Index.TotalMs(), Index.TotalMs());
    if (First >= Index.Count() || EndMs <= Index.StartOf(First)) return;  // nothing to play: stays stopped

    const TMp3IndexedFrame Frame = Index.Frames()[First];
    TJob Job;
    Job.Format.Rate = Frame.SampleRate;
    Job.Format.Channels = Frame.Mono ? 1 : 2;
    Job.Format.Encoding = MPG123_ENC_SIGNED_16;
    Job.Format.FrameBytes = 2 * Job.Format.Channels;
    const double StartMs = Index.StartOf(First);
    const int64_t Available = std::llround((Index.TotalMs() - StartMs) * Frame.SampleRate / 1000.0);
    Job.FramesToPlay =
        std::min<int64_t>(Available, static_cast<int64_t>(std::ceil((EndMs - StartMs) * Frame.SampleRate / 1000.0)));
    if (Job.FramesToPlay <= 0) return;

    // Preroll: back from the first frame until enough bytes and frames are fed before it.
    size_t Fed = First;
    int64_t Bytes = 0;
    while (Fed > 0 && (First - Fed < PrerollMinFrames || Bytes < PrerollBytes || Fed % PrerollAlignment != 0)) {
        --Fed;
        Bytes += Index.Frames()[Fed].Length;
    }
    Job.FirstFed = Fed;
    Job.Preroll = First - Fed;

    FSink->Start(Job.Format);  // raises the device error; nothing plays then

    FStartFrame = First;
    FStartTimeMs = StartMs;
    FRate = Job.Format.Rate;
    FFramesToPlay = Job.FramesToPlay;
    FStop.store(false, std::memory_order_relaxed);
    FFirstSoundNs.store(0, std::memory_order_relaxed);
    FStoppedPosition.store(PositionFromHeard(0), std::memory_order_relaxed);
    {
        std::lock_guard<std::mutex> Lock(FFailureMutex);
        FFailure.clear();
    }
    FMode.store(TMPModes::mpPlaying, std::memory_order_release);
    try {
        FThread = std::thread(&TMpg123Player::Run, this, Job);
    } catch (...) {
        FSink->Stop();
        FMode.store(TMPModes::mpStopped, std::memory_order_release);
        throw EMediaPlayerError("The playback thread could not be started.");
    }
}

TMPModes TMpg123Player::Mode() { return FMode.load(std::memory_order_acquire); }

int32_t TMpg123Player::PositionFromHeard(int64_t Heard) const {
    const int64_t Frames = std::clamp<int64_t>(Heard, 0, FFramesToPlay);
    const double Ms = FStartTimeMs + double(Frames) * 1000.0 / double(FRate > 0 ? FRate : 1);
    return static_cast<int32_t>(std::min<double>(std::trunc(Ms), std::numeric_limits<int32_t>::max()));
}

int32_t TMpg123Player::Position() {
    switch (FMode.load(std::memory_order_acquire)) {
    case TMPModes::mpPlaying: return PositionFromHeard(FSink->Heard());
    case TMPModes::mpNotReady: return 0;
    default: return FStoppedPosition.load(std::memory_order_acquire);
    }
}

std::chrono::steady_clock::time_point TMpg123Player::FirstSoundTime() const {
    return std::chrono::steady_clock::time_point(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::nanoseconds(FFirstSoundNs.load(std::memory_order_acquire))));
}

std::string TMpg123Player::LastPlaybackError() const {
    std::lock_guard<std::mutex> Lock(FFailureMutex);
    return FFailure;
}

void TMpg123Player::Run(TJob Job) {
    auto Fail = [this](const std::string& Text) {
        std::lock_guard<std::mutex> Lock(FFailureMutex);
        FFailure = Text;
    };
    int64_t Handed = 0;
    try {
        TMpg123Handle Decoder;
        int Error = MPG123_OK;
        Decoder.H = mpg123_new(nullptr, &Error);
        if (!Decoder.H) throw EMediaPlayerError(std::string("Decoder: ") + mpg123_plain_strerror(Error));
        mpg123_handle* H = Decoder.H;
        // No gapless trimming: every frame decodes to its full sample count,
        // the engine's time scale. Quiet: nothing on stderr.
        mpg123_param(H, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
        mpg123_param(H, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
        mpg123_format_none(H);
        mpg123_format(H, Job.Format.Rate, Job.Format.Channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16);
        if (mpg123_open_feed(H) != MPG123_OK) throw EMediaPlayerError(std::string("Decoder: ") + mpg123_strerror(H));

        const TMp3FrameIndex& Index = *FIndex;
        std::vector<uint8_t> Buffer;
        size_t Decoded = 0;  // frames the decoder has put out
        bool OutputFailed = false;
        auto HandOver = [&](const uint8_t* Audio, size_t Bytes) {
            if (Decoded++ < Job.Preroll || Bytes == 0) return;
            const int64_t Want = std::min<int64_t>(int64_t(Bytes) / Job.Format.FrameBytes, Job.FramesToPlay - Handed);
            if (Want <= 0) return;
            const size_t WantBytes = size_t(Want) * Job.Format.FrameBytes;
            const size_t Took = FSink->Write(Audio, WantBytes);
            if (Took > 0 && Handed == 0) FFirstSoundNs.store(NowNs(), std::memory_order_release);
            Handed += int64_t(Took) / Job.Format.FrameBytes;
            if (Took < WantBytes && !FStop.load(std::memory_order_acquire)) {
                OutputFailed = true;
                Fail("Sound output: " + FSink->LastError());
            }
        };
        auto DecodeAvailable = [&] {
            for (;;) {
                off_t Num = 0;
                unsigned char* Audio = nullptr;
                size_t Bytes = 0;
                const int R = mpg123_decode_frame(H, &Num, &Audio, &Bytes);
                if (R == MPG123_NEED_MORE) return;
                if (R == MPG123_NEW_FORMAT) continue;
                if (R != MPG123_OK) {
                    // A frame the decoder cannot take is skipped as silence
                    // would be; the decoder resyncs on the next one.
                    if (R == MPG123_ERR) return;
                    continue;
                }
                HandOver(Audio, Bytes);
                if (OutputFailed || FStop.load(std::memory_order_acquire) || Handed >= Job.FramesToPlay) return;
            }
        };

        for (auto It = Index.From(Job.FirstFed); It.Number() < Index.Count(); ++It) {
            if (OutputFailed || FStop.load(std::memory_order_acquire) || Handed >= Job.FramesToPlay) break;
            const TMp3IndexedFrame& F = *It;
            Buffer.resize(size_t(F.Length));
            FStream->SetPosition(F.Offset);
            const int64_t Got = FStream->Read(Buffer.data(), F.Length);
            if (Got <= 0) break;
            mpg123_feed(H, Buffer.data(), size_t(Got));
            DecodeAvailable();
        }
        if (!OutputFailed && !FStop.load(std::memory_order_acquire) && Handed < Job.FramesToPlay) {
            // At the start of a stream the decoder holds a frame back until it
            // has seen the next one; a copy of the last frame releases it (its
            // own samples are beyond the end and are not handed over).
            if (Index.Count() > 0) {
                const TMp3IndexedFrame F = Index.Frames().back();
                Buffer.resize(size_t(F.Length));
                FStream->SetPosition(F.Offset);
                const int64_t Got = FStream->Read(Buffer.data(), F.Length);
                if (Got > 0) {
                    mpg123_feed(H, Buffer.data(), size_t(Got));
                    DecodeAvailable();
                }
            }
        }
        if (!OutputFailed && !FStop.load(std::memory_order_acquire)) FSink->Drain();
    } catch (const std::exception& E) {
        Fail(E.what());
    } catch (...) {
        Fail("Playback failed.");
    }
    FStoppedPosition.store(PositionFromHeard(std::min<int64_t>(FSink->Heard(), Handed)), std::memory_order_release);
    FMode.store(TMPModes::mpStopped, std::memory_order_release);
    FSink->Stop();
}

bool AudioOutputKindFromName(const std::string& Name, TAudioOutputKind& Kind) {
    if (Name == "auto") {
        Kind = TAudioOutputKind::Auto;
        return true;
    }
    if (Name == "null") {
        Kind = TAudioOutputKind::Null;
        return true;
    }
    return false;
}

std::unique_ptr<TMediaPlayer> CreateMediaPlayer(const TAudioOutput& Output) {
    return std::make_unique<TMpg123Player>(CreateAudioSink(Output));
}

std::unique_ptr<TMediaPlayer> CreateMediaPlayer(TAudioOutputKind Kind) {
    TAudioOutput Output;
    Output.Kind = Kind;
    return CreateMediaPlayer(Output);
}
