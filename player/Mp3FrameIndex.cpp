#include "player/Mp3FrameIndex.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/FrameWalk.h"
#include "engine/VekMp3.h"
#include "platform/FileStream.h"

TMp3FrameIndex TMp3FrameIndex::Build(TFileStream& Stream) {
    TMp3FrameIndex Index;
    TMp3DataInfo Layout;
    AnalyseLayout(Stream, Layout);
    if (!Layout.Valid) return Index;
    // A rough guess of the frame count saves the vector's regrowth on long files.
    Index.FFrames.reserve(static_cast<size_t>(std::max<int64_t>(0, Layout.FileSize / 200)));
    double Elapsed = 0.0;
    Index.FTotalMs = WalkAudioFrames(Stream, Layout, [&](int64_t Offset, const TFrameHeader& Frame) {
        TMp3IndexedFrame Entry;
        Entry.Offset = Offset;
        Entry.StartMs = Elapsed;
        Entry.Length = static_cast<uint16_t>(Frame.Length);
        Entry.Samples = static_cast<uint16_t>(Frame.Samples);
        Entry.SampleRate = static_cast<uint16_t>(Frame.SampleRate);
        Entry.Mono = Frame.Mono;
        Index.FFrames.push_back(Entry);
        Elapsed += Frame.DurationMs;
    });
    Index.FFrames.shrink_to_fit();
    return Index;
}

int64_t TMp3FrameIndex::LengthMs() const { return static_cast<int64_t>(std::trunc(FTotalMs)); }

size_t TMp3FrameIndex::FirstFrameAtOrAfter(double Ms) const {
    // StartMs rises with the index (durations are positive), so the first
    // frame with StartMs >= Ms is found by bisection; the values are the very
    // sums the engine's skip compares with.
    const auto It = std::lower_bound(FFrames.begin(), FFrames.end(), Ms,
                                     [](const TMp3IndexedFrame& F, double V) { return F.StartMs < V; });
    return static_cast<size_t>(It - FFrames.begin());
}
