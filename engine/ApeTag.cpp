#include "engine/ApeTag.h"

#include <algorithm>
#include <cctype>

#include "engine/Tags.h"

namespace {

constexpr uint32_t HasHeader = 0x80000000u, IsHeader = 0x20000000u;
constexpr uint32_t Version2 = 2000;
constexpr size_t SizeAt = 12, CountAt = 16, FlagsAt = 20;
constexpr size_t ItemHeadBytes = 8;  // the value's size, the item's flags

uint32_t Le32(const uint8_t* P) {
    return uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16 | uint32_t(P[3]) << 24;
}
uint32_t Le32(const std::string& S, size_t At) { return Le32(reinterpret_cast<const uint8_t*>(S.data() + At)); }
void PutLe32(std::string& S, size_t At, uint32_t V) {
    for (size_t I = 0; I < 4; ++I) S[At + I] = static_cast<char>(V >> (8 * I));
}
std::string Le32Bytes(uint32_t V) {
    std::string S(4, '\0');
    PutLe32(S, 0, V);
    return S;
}

// Where a tag's items lie, and the item Key among them.
struct TLayout {
    size_t ItemsFrom = 0, ItemsTo = 0;
    uint32_t Count = 0;
    bool Header = false;
    size_t KeyFrom = 0, KeyTo = 0;  // the item Key's bytes; KeyFrom == KeyTo without one
};

bool SameKey(const std::string& Tag, size_t At, size_t Length, const std::string& Key) {
    if (Length != Key.size()) return false;
    for (size_t I = 0; I < Length; ++I)
        if (std::tolower(static_cast<unsigned char>(Tag[At + I])) != std::tolower(static_cast<unsigned char>(Key[I])))
            return false;
    return true;
}

std::optional<TLayout> Parse(const std::string& Tag, const std::string& Key) {
    if (Tag.size() < size_t(ApeFooterBytes)) return std::nullopt;
    const size_t Footer = Tag.size() - ApeFooterBytes;
    if (Tag.compare(Footer, ApeMarker.size(), ApeMarker) != 0) return std::nullopt;
    TLayout L;
    const uint32_t Size = Le32(Tag, Footer + SizeAt);
    L.Count = Le32(Tag, Footer + CountAt);
    L.Header = (Le32(Tag, Footer + FlagsAt) & HasHeader) != 0;
    if (Size < uint32_t(ApeFooterBytes) || Size + (L.Header ? size_t(ApeFooterBytes) : 0) != Tag.size())
        return std::nullopt;
    L.ItemsFrom = Tag.size() - Size;
    L.ItemsTo = Footer;
    size_t At = L.ItemsFrom;
    // A header that is none, or items that do not fill their room as the
    // count says, make a tag whose items cannot be found, nor one put in.
    if (L.Header && Tag.compare(0, ApeMarker.size(), ApeMarker) != 0) return std::nullopt;
    for (uint32_t I = 0; I < L.Count; ++I) {
        if (L.ItemsTo - At < ItemHeadBytes + 1) return std::nullopt;
        const size_t ValueBytes = Le32(Tag, At);
        const size_t KeyAt = At + ItemHeadBytes;
        const size_t KeyEnd = Tag.find('\0', KeyAt);
        if (KeyEnd >= L.ItemsTo || ValueBytes > L.ItemsTo - KeyEnd - 1) return std::nullopt;
        const size_t Next = KeyEnd + 1 + ValueBytes;
        if (SameKey(Tag, KeyAt, KeyEnd - KeyAt, Key)) L.KeyFrom = At, L.KeyTo = Next;
        At = Next;
    }
    if (At != L.ItemsTo) return std::nullopt;
    return L;
}

// Tag with the size and the count of its items (in the footer, and the
// header) moved by the bytes and items added, rather than counted anew: taking
// them away again gives back the very fields, whatever they held.
std::string Recounted(std::string Tag, const TLayout& L, int64_t Bytes, int Items) {
    const auto Move = [&](size_t At) {
        PutLe32(Tag, At + SizeAt, Le32(Tag, At + SizeAt) + uint32_t(Bytes));
        PutLe32(Tag, At + CountAt, Le32(Tag, At + CountAt) + uint32_t(Items));
    };
    Move(Tag.size() - ApeFooterBytes);
    if (L.Header) Move(0);
    return Tag;
}

std::string NewTag(uint32_t Flags, size_t ItemBytes) {
    return std::string(ApeMarker) + Le32Bytes(Version2) + Le32Bytes(uint32_t(ItemBytes + ApeFooterBytes)) +
           Le32Bytes(1) + Le32Bytes(Flags) + std::string(8, '\0');
}

}  // namespace

int64_t ApeTagStart(TFileStream& Source, const TMp3DataInfo& Info) {
    const int64_t Footer = Info.AudioEnd();
    if (Info.ApeSize == 0) return Footer;
    uint8_t F[ApeFooterBytes] = {0};
    Source.SetPosition(Footer);
    if (Source.Read(F, ApeFooterBytes) != ApeFooterBytes) return Footer;
    const int64_t Bytes = ApeTagBytes(F);
    const int64_t Start = Footer + ApeFooterBytes - Bytes;
    return Bytes > 0 && Start >= Info.FirstFrameOffset() ? Start : Footer;
}

std::optional<std::string> ApeItem(const std::string& Tag, const std::string& Key) {
    const std::optional<TLayout> L = Parse(Tag, Key);
    if (!L || L->KeyFrom == L->KeyTo) return std::nullopt;
    const size_t ValueAt = Tag.find('\0', L->KeyFrom + ItemHeadBytes) + 1;
    return Tag.substr(ValueAt, L->KeyTo - ValueAt);
}

std::optional<std::string> ApeWithItem(const std::string& Tag, const std::string& Key, const std::string& Value) {
    const std::string Item = Le32Bytes(uint32_t(Value.size())) + Le32Bytes(0) + Key + '\0' + Value;
    if (Tag.empty()) return NewTag(HasHeader | IsHeader, Item.size()) + Item + NewTag(HasHeader, Item.size());
    const std::optional<TLayout> L = Parse(Tag, Key);
    if (!L) return std::nullopt;
    std::string Items = Tag.substr(L->ItemsFrom, L->ItemsTo - L->ItemsFrom);
    const size_t Dropped = L->KeyTo - L->KeyFrom;
    if (Dropped > 0) Items.erase(L->KeyFrom - L->ItemsFrom, Dropped);
    return Recounted(Tag.substr(0, L->ItemsFrom) + Items + Item + Tag.substr(L->ItemsTo), *L,
                     int64_t(Item.size()) - int64_t(Dropped), Dropped > 0 ? 0 : 1);
}

std::optional<std::string> ApeWithoutItem(const std::string& Tag, const std::string& Key, bool DropEmpty) {
    const std::optional<TLayout> L = Parse(Tag, Key);
    if (!L) return std::nullopt;
    if (L->KeyFrom == L->KeyTo) return Tag;
    if (DropEmpty && L->Count == 1 && L->KeyTo - L->KeyFrom == L->ItemsTo - L->ItemsFrom) return std::string();
    return Recounted(Tag.substr(0, L->KeyFrom) + Tag.substr(L->KeyTo), *L, -int64_t(L->KeyTo - L->KeyFrom), -1);
}
