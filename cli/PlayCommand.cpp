// segmora-cli play: plays a range of a file through the engine as the
// editor does, polling the position about four times a second.
#include "cli/CliCommands.h"
#include "cli/CliReport.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "engine/TimeCode.h"
#include "engine/VekMp3.h"
#include "player/Mpg123Player.h"

namespace SegmoraCli {

namespace {

std::atomic<bool> Interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void OnInterrupt(int) { Interrupted.store(true); }

// Ctrl-C (and a plain kill) set the flag while the range plays; the previous
// handlers come back afterwards.
class TInterruptGuard {
public:
    TInterruptGuard() {
        Interrupted.store(false);
        struct sigaction Action {};
        Action.sa_handler = OnInterrupt;
        sigemptyset(&Action.sa_mask);
        Action.sa_flags = 0;
        sigaction(SIGINT, &Action, &FOldInt);
        sigaction(SIGTERM, &Action, &FOldTerm);
    }
    ~TInterruptGuard() {
        sigaction(SIGINT, &FOldInt, nullptr);
        sigaction(SIGTERM, &FOldTerm, nullptr);
    }
    TInterruptGuard(const TInterruptGuard&) = delete;
    TInterruptGuard& operator=(const TInterruptGuard&) = delete;

private:
    struct sigaction FOldInt {};
    struct sigaction FOldTerm {};
};

constexpr const char* PlayTimeLimit = "the longest time the player takes";

}  // namespace

int RunPlay(const TPlayOptions& Options, std::ostream& Out, std::ostream& Err) {
    const auto Fail = [&Err](int Exit, const std::string& Text) {
        Complain(Err, Text);
        return Exit;
    };
    int64_t FromMs = 0, ToMs = -1;
    std::string Why;
    if ((!Options.From.empty() && !ParseTimeOption(Options.From, "--from", PlayTimeLimit, FromMs, Why)) ||
        (!Options.To.empty() && !ParseTimeOption(Options.To, "--to", PlayTimeLimit, ToMs, Why)))
        return Fail(ExitUsage, Why);
    if (ToMs >= 0 && FromMs >= ToMs) return Fail(ExitUsage, "the start must lie before the end");
    TAudioOutputKind Kind;
    if (!AudioOutputKindFromName(Options.Output, Kind))
        return Fail(ExitUsage, "--output \"" + Options.Output + "\" is neither auto nor null");

    TVekMP3 Engine(std::string(), CreateMediaPlayer(Kind));
    try {
        Engine.AnalyseFile(Options.File);
    } catch (const std::exception& E) {
        return Fail(ExitError, E.what());
    }
    const TMp3DataInfo& D = Engine.DataInfo;
    if (!D.Valid) return Fail(ExitNegative, "Not played: " + Quoted(Options.File) + " is not an MP3 file");
    // As the editor: only a start inside the audio plays.
    if (FromMs >= D.LengthMs)
        return Fail(ExitNegative,
                    "Not played: --from lies at or beyond the end of the audio (" + MsToTimeCode(D.LengthMs) + ")");
    if (ToMs > D.LengthMs)
        Complain(Err, "--to " + Options.To + " lies beyond the end of the audio (" + MsToTimeCode(D.LengthMs) +
                          "): playing to its end");
    if (ToMs < 0) ToMs = D.LengthMs;

    TInterruptGuard Guard;
    bool Playing = false;
    try {
        Playing = Engine.PlayRange(FromMs, ToMs);
    } catch (const std::exception& E) {
        return Fail(ExitError, E.what());
    }
    if (!Playing) return Fail(ExitNegative, "Not played: the player did not start");
    Out << "Playing " << MsToTimeCode(FromMs) << " to " << MsToTimeCode(std::min<int64_t>(ToMs, D.LengthMs))
        << " (Ctrl-C stops)" << std::endl;

    using TClock = std::chrono::steady_clock;
    const auto Tick = std::chrono::milliseconds(250);
    auto Next = TClock::now() + Tick;
    for (;;) {
        // Short sleeps, so that Ctrl-C is answered at once.
        while (TClock::now() < Next && !Interrupted.load()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (Interrupted.load()) {
            const int64_t At = Engine.GetPlayPosition();
            Engine.StopPlay();
            Out << "Stopped: " << (At >= 0 ? MsToTimeCode(At) : std::string("-")) << std::endl;
            return ExitOk;
        }
        if (Engine.IsStopped()) {
            // The player stays open in the stopped mode and still tells where it stopped.
            const int64_t At = Engine.MediaPlayer()->Position();
            const std::string Failure = Engine.MediaPlayer()->LastPlaybackError();
            Engine.StopPlay();
            if (!Failure.empty()) return Fail(ExitError, Failure);
            Out << "End: " << MsToTimeCode(At) << std::endl;
            return ExitOk;
        }
        const int64_t At = Engine.GetPlayPosition();
        if (At >= 0) Out << MsToTimeCode(At) << std::endl;
        Next += Tick;
    }
}

}  // namespace SegmoraCli
