// Measures the media player on a long file: how long the analysis and the
// player's Open take, how soon sound starts after PlayRange at positions all
// over the file (seek-to-sound), how long the calls block the calling thread,
// and how far the position strays from the wall clock. Run by
// bench/player/measure-player.sh; nothing here is a test.
//
//   player-measure FILE [--output null|auto] [--seeks N] [--settle MS]
//
// --settle: how long each range plays before StopPlay (default 20 ms); a
// sound server's first block can take far longer than its later ones.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/VekMp3.h"
#include "player/Mpg123Player.h"

using TClock = std::chrono::steady_clock;

namespace {

double MsBetween(TClock::time_point A, TClock::time_point B) {
    return std::chrono::duration<double, std::milli>(B - A).count();
}

struct TStats {
    std::vector<double> V;
    void Add(double X) { V.push_back(X); }
    double Quantile(double Q) {
        std::sort(V.begin(), V.end());
        return V.empty() ? 0.0 : V[std::min(V.size() - 1, size_t(Q * (V.size() - 1) + 0.5))];
    }
    void Print(const char* Name) {
        std::printf("  %-34s min %8.3f  median %8.3f  p95 %8.3f  max %8.3f ms  (n=%zu)\n", Name, Quantile(0),
                    Quantile(0.5), Quantile(0.95), Quantile(1), V.size());
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [--output null|auto] [--seeks N]\n", argv[0]);
        return 2;
    }
    const std::string File = argv[1];
    TAudioOutputKind Kind = TAudioOutputKind::Null;
    int Seeks = 40;
    int SettleMs = 20;
    for (int I = 2; I + 1 < argc; I += 2) {
        if (!std::strcmp(argv[I], "--output") && !AudioOutputKindFromName(argv[I + 1], Kind)) return 2;
        if (!std::strcmp(argv[I], "--seeks")) Seeks = std::atoi(argv[I + 1]);
        if (!std::strcmp(argv[I], "--settle")) SettleMs = std::atoi(argv[I + 1]);
    }

    std::printf("%s, output %s\n", File.c_str(), Kind == TAudioOutputKind::Null ? "null" : "auto");
    auto T0 = TClock::now();
    TVekMP3 Engine(std::string(), CreateMediaPlayer(Kind));
    try {
        Engine.AnalyseFile(File);
    } catch (const std::exception& E) {
        std::printf("analysis failed: %s\n", E.what());
        return 3;
    }
    auto T1 = TClock::now();
    if (!Engine.DataInfo.Valid) return 1;
    const int64_t Length = Engine.DataInfo.LengthMs;
    std::printf("  length %lld ms; AnalyseFile (engine walk + player Open that builds the index) %.1f ms\n",
                (long long)Length, MsBetween(T0, T1));

    {
        // Open of a player that has not seen the file: the index is built.
        auto Fresh = CreateMediaPlayer(Kind);
        Fresh->SetFileName(File);
        auto A = TClock::now();
        Fresh->Open();
        auto B = TClock::now();
        if (const auto* Built = dynamic_cast<TMpg123Player*>(Fresh.get())->FrameIndex())
            std::printf("  frame index: %zu frames in %.2f MB (%.2f bytes a frame)\n", Built->Count(),
                        Built->MemoryBytes() / 1e6,
                        double(Built->MemoryBytes()) / double(std::max<size_t>(1, Built->Count())));
        Fresh->Close();
        auto C = TClock::now();
        Fresh->Open();
        auto D = TClock::now();
        std::printf("  Open, index built: %.1f ms; Open again, index kept: %.3f ms\n", MsBetween(A, B),
                    MsBetween(C, D));
    }

    auto& Player = dynamic_cast<TMpg123Player&>(*Engine.MediaPlayer());
    TStats PlayCall, SeekToSound, StopCall, PollCall;
    std::mt19937 Random(20240601);
    std::uniform_int_distribution<int64_t> Position(0, std::max<int64_t>(0, Length - 11000));
    for (int I = 0; I < Seeks; ++I) {
        const int64_t From = I == 0 ? Length - 11000 : Position(Random);
        const auto A = TClock::now();
        if (!Engine.PlayRange(From, From + 10000)) {
            std::printf("PlayRange(%lld) did not start\n", (long long)From);
            return 1;
        }
        const auto B = TClock::now();
        while (Player.FirstSoundTime() == TClock::time_point())
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        PlayCall.Add(MsBetween(A, B));
        SeekToSound.Add(MsBetween(A, Player.FirstSoundTime()));
        std::this_thread::sleep_for(std::chrono::milliseconds(SettleMs));
        for (int J = 0; J < 100; ++J) {
            const auto P0 = TClock::now();
            Engine.GetPlayPosition();
            Engine.IsStopped();
            PollCall.Add(MsBetween(P0, TClock::now()));
        }
        const auto C = TClock::now();
        Engine.StopPlay();
        StopCall.Add(MsBetween(C, TClock::now()));
    }
    std::printf("  %d ranges started at positions all over the file:\n", Seeks);
    SeekToSound.Print("seek-to-sound (PlayRange to first");
    std::printf("  %-34s\n", "   samples handed to the output)");
    PlayCall.Print("PlayRange call (blocks the caller)");
    std::printf("  (each range played %d ms before StopPlay)\n", SettleMs);
    StopCall.Print("StopPlay call (joins the thread)");
    PollCall.Print("GetPlayPosition + IsStopped");

    if (Kind == TAudioOutputKind::Null) {
        // Position against the wall clock over a 2-second range in the middle.
        const int64_t From = Length / 2;
        const auto A = TClock::now();
        Engine.PlayRange(From, From + 2000);
        const double Start = Player.FrameIndex()->StartOf(Player.StartFrame());
        double Worst = 0.0, Sum = 0.0;
        int N = 0;
        for (;;) {
            const auto Now = TClock::now();
            const int64_t Pos = Engine.GetPlayPosition();
            if (Pos < 0) break;
            const double Err = double(Pos) - std::min(Start + MsBetween(A, Now), double(From + 2000));
            Worst = std::max(Worst, std::abs(Err));
            Sum += Err;
            ++N;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::printf("  position - wall clock over a 2 s range (null output): worst %.1f ms, mean %.1f ms (n=%d)\n",
                    Worst, N ? Sum / N : 0.0, N);
        Engine.StopPlay();
    }
    return 0;
}
