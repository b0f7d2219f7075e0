// segmora-cli levels: the loudness envelope of a file, estimated from its
// frames without decoding them (or decoded, to compare), for scripts and
// players that draw a waveform.
#include <cmath>
#include <cstdio>

#include "cli/CliCommands.h"
#include "cli/CliShared.h"
#include "engine/TimeCode.h"
#include "engine/VekMp3.h"
#include "platform/FileStream.h"
#include "player/LevelEnvelope.h"

namespace SegmoraCli {

namespace {

// One decimal; digital silence has no finite level: null in JSON, -inf in text.
json DbJson(double Db) { return std::isfinite(Db) ? json(std::round(Db * 10.0) / 10.0) : json(nullptr); }

std::string DbText(double Db) {
    if (!std::isfinite(Db)) return "   -inf";
    char Text[16];
    std::snprintf(Text, sizeof Text, "%7.1f", Db);
    return Text;
}

}  // namespace

int RunLevels(const TLevelsOptions& O, std::ostream& Out, std::ostream& Err) {
    TEnvelopeOptions Envelope;
    Envelope.BucketMs = 1000.0 / O.PerSecond;
    Envelope.Decode = O.Decode;
    std::vector<TLevelBucket> Buckets;
    double TotalMs = 0.0;
    try {
        TMp3FrameIndex Index;
        {
            TFileStream Source(O.File, TFileMode::fmOpenRead);
            TMp3DataInfo Layout;
            AnalyseLayout(Source, Layout);
            if (!Layout.Valid) {
                Err << "segmora-cli: \"" << O.File << "\" is not an MP3 file\n";
                return ExitNegative;
            }
            Index = TMp3FrameIndex::Build(Source);
        }
        TotalMs = Index.TotalMs();
        if (O.Buckets > 0) Envelope.BucketMs = TotalMs / O.Buckets;
        if (Index.Count() > 0) Buckets = LevelEnvelope(O.File, Index, Envelope);
    } catch (const std::exception& E) {
        Err << "segmora-cli: " << E.what() << "\n";
        return ExitError;
    }
    if (O.Json) {
        json List = json::array();
        for (const TLevelBucket& B : Buckets)
            List.push_back({{"StartMs", int64_t(B.StartMs)},
                            {"PeakDb", DbJson(B.PeakDb)},
                            {"RmsDb", DbJson(B.RmsDb)},
                            {"Decoded", B.Decoded}});
        Out << Dump({{"FileName", O.File},
                     {"LengthMs", int64_t(TotalMs)},
                     {"BucketMs", Envelope.BucketMs},
                     {"Buckets", std::move(List)}})
            << "\n";
        return ExitOk;
    }
    for (const TLevelBucket& B : Buckets)
        Out << MsToTimeCode(int64_t(B.StartMs)) << DbText(B.PeakDb) << DbText(B.RmsDb) << "  "
            << (B.Decoded ? "decoded" : "estimated") << "\n";
    return ExitOk;
}

}  // namespace SegmoraCli
