#include "cli/SplitPlan.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

namespace {

// No MP3 frame lasts longer (MPEG 2.5 layer III at 8 kHz): a piece shorter
// than this may hold no frame at all.
constexpr int64_t LongestFrameMs = 72;

const char* const Placeholders[] = {"{n}", "{title}", "{performer}", "{album}", "{name}"};

std::string Lower(std::string S) {
    for (char& C : S) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    return S;
}

std::string Padded(int Number, size_t Width) {
    std::string Digits = std::to_string(Number);
    return std::string(Width > Digits.size() ? Width - Digits.size() : 0, '0') + Digits;
}

std::string Filled(const std::string& Pattern, const TSplitPiece& Piece, const std::string& Number,
                   const std::string& SourceName) {
    const std::string Values[] = {Number, Piece.Title, Piece.Performer, Piece.Album, SourceName};
    std::string Out;
    for (size_t I = 0; I < Pattern.size();) {
        bool Taken = false;
        for (size_t K = 0; K < std::size(Placeholders) && !Taken; ++K) {
            const std::string Key = Placeholders[K];
            if (Pattern.compare(I, Key.size(), Key) != 0) continue;
            Out += Values[K];
            I += Key.size();
            Taken = true;
        }
        if (!Taken) Out += Pattern[I++];
    }
    return Out;
}

// Cut at MaxBytes without splitting a UTF-8 character.
std::string Shortened(const std::string& S, size_t MaxBytes) {
    if (S.size() <= MaxBytes) return S;
    size_t End = MaxBytes;
    while (End > 0 && (static_cast<unsigned char>(S[End]) & 0xC0) == 0x80) --End;
    return S.substr(0, End);
}

}  // namespace

std::vector<TSplitPiece> PiecesFromCue(const TCueSheet& Sheet) {
    std::vector<TSplitPiece> Pieces;
    for (size_t I = 0; I < Sheet.Tracks.size(); ++I) {
        const TCueTrack& T = Sheet.Tracks[I];
        TSplitPiece P;
        P.Number = T.Number;
        P.StartMs = CueFramesToMs(T.StartFrames);
        P.EndMs = I + 1 < Sheet.Tracks.size() ? CueFramesToMs(Sheet.Tracks[I + 1].StartFrames) : EndOfAudio;
        P.Title = T.Title;
        P.Performer = T.Performer;
        P.Album = Sheet.Title;
        P.Year = Sheet.Date.substr(0, 4);
        Pieces.push_back(std::move(P));
    }
    return Pieces;
}

std::vector<TSplitPiece> EqualParts(int64_t LengthMs, int Count) {
    std::vector<TSplitPiece> Pieces;
    for (int K = 0; K < Count; ++K) {
        TSplitPiece P;
        P.Number = K + 1;
        // Rounded to the nearest millisecond, so that the parts differ by at most one frame.
        P.StartMs = (2 * LengthMs * K + Count) / (2 * Count);
        P.EndMs = K + 1 == Count ? EndOfAudio : (2 * LengthMs * (K + 1) + Count) / (2 * Count);
        Pieces.push_back(std::move(P));
    }
    return Pieces;
}

std::vector<TSplitPiece> FixedLengthParts(int64_t LengthMs, int64_t EveryMs) {
    std::vector<int64_t> Splits;
    for (int64_t At = EveryMs; At < LengthMs - LongestFrameMs; At += EveryMs) Splits.push_back(At);
    return PiecesBetween(Splits, LengthMs, 0);
}

std::vector<TSplitPiece> PiecesBetween(const std::vector<int64_t>& SplitsMs, int64_t LengthMs, int64_t MinPieceMs) {
    std::vector<TSplitPiece> Pieces;
    int64_t Start = 0;
    for (size_t I = 0; I <= SplitsMs.size(); ++I) {
        const bool Last = I == SplitsMs.size();
        const int64_t End = Last ? LengthMs : SplitsMs[I];
        if (End - Start >= MinPieceMs && End > Start) {
            TSplitPiece P;
            P.Number = static_cast<int>(Pieces.size()) + 1;
            P.StartMs = Start;
            P.EndMs = Last ? EndOfAudio : End;
            Pieces.push_back(std::move(P));
        }
        Start = End;
    }
    return Pieces;
}

std::string DefaultNamePattern(bool FromCue) { return FromCue ? "{n} - {title}" : "{name}_{n}"; }

bool CheckNamePattern(const std::string& Pattern, std::string& Bad) {
    for (size_t Open = Pattern.find('{'); Open != std::string::npos; Open = Pattern.find('{', Open + 1)) {
        const size_t Close = Pattern.find('}', Open);
        const std::string Key = Pattern.substr(Open, Close == std::string::npos ? std::string::npos : Close - Open + 1);
        if (std::find(std::begin(Placeholders), std::end(Placeholders), Key) == std::end(Placeholders)) {
            Bad = Key;
            return false;
        }
    }
    return true;
}

std::string SafeFileName(const std::string& Name, size_t MaxBytes) {
    std::string S;
    for (char C : Name) {
        const auto U = static_cast<unsigned char>(C);
        const bool Refused = U < 0x20 || U == 0x7F || std::string_view("/\\:*?\"<>|").find(C) != std::string_view::npos;
        S += Refused ? '_' : C;
    }
    S = Shortened(S, MaxBytes);
    // Windows drops trailing dots and spaces, and a leading space hides a file in most listings.
    const size_t First = S.find_first_not_of(' ');
    S = First == std::string::npos ? std::string() : S.substr(First);
    while (!S.empty() && (S.back() == ' ' || S.back() == '.')) S.pop_back();
    return S.empty() ? "_" : S;
}

void NamePieces(std::vector<TSplitPiece>& Pieces, const std::string& Pattern, const std::string& SourceName,
                const std::string& Folder) {
    int Highest = 0;
    for (const TSplitPiece& P : Pieces) Highest = std::max(Highest, P.Number);
    const size_t Width = std::max<size_t>(2, std::to_string(Highest).size());
    std::set<std::string> Taken;
    for (TSplitPiece& P : Pieces) {
        const std::string Number = Padded(P.Number, Width);
        TSplitPiece Shown = P;
        if (Shown.Title.empty()) Shown.Title = "Track " + Number;
        const std::string Base = SafeFileName(Filled(Pattern, Shown, Number, SourceName));
        std::string Name = Base + ".mp3";
        for (int K = 2; Taken.count(Lower(Name)); ++K) Name = Base + " (" + std::to_string(K) + ").mp3";
        Taken.insert(Lower(Name));
        P.FileName = (std::filesystem::path(Folder) / Name).string();
    }
}
