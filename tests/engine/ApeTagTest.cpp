// The APE tag edits a record of ours needs, on tags built byte by byte: the
// other items and every other byte kept, the way back to the very bytes, and
// tags that cannot be read refused by every edit rather than half rewritten.
#include <gtest/gtest.h>

#include "engine/ApeTag.h"
#include "tests/support/FrameBuilder.h"

namespace {

using namespace FrameBuilder;

std::string Item(const std::string& Key, const std::string& Value) {
    std::string Size(4, '\0');
    Size[0] = char(Value.size());
    return Size + std::string(4, '\0') + Key + '\0' + Value;
}

// A tag of Items, with a header or a footer alone.
std::string Tag(const std::string& Items, uint32_t Count, bool Header) {
    std::string Footer = ApeFooter(uint32_t(Items.size()));
    Footer[16] = char(Count);
    if (!Header) {
        Footer[23] = 0;
        return Items + Footer;
    }
    std::string Head = Footer;
    Head[23] = char(0xA0);
    return Head + Items + Footer;
}

TEST(ApeTag, EditsOneItemAndKeepsEveryOtherByte) {
    const std::string Items = Item("Title", "A title") + Item("REPLAYGAIN_TRACK_GAIN", "-6.5 dB");
    for (const bool Header : {true, false}) {
        SCOPED_TRACE(Header ? "with header" : "footer alone");
        const std::string Original = Tag(Items, 2, Header);
        EXPECT_EQ(ApeItem(Original, "title"), "A title");
        EXPECT_EQ(ApeItem(Original, "Absent"), std::nullopt);

        // Put in, read back, set anew, taken out: the very bytes again.
        const auto With = ApeWithItem(Original, "Segmora_Gain", "one");
        ASSERT_TRUE(With);
        EXPECT_EQ(*With, Tag(Items + Item("Segmora_Gain", "one"), 3, Header));
        const auto Again = ApeWithItem(*With, "SEGMORA_GAIN", "two");
        ASSERT_TRUE(Again);
        EXPECT_EQ(ApeItem(*Again, "segmora_gain"), "two");
        EXPECT_EQ(ApeItem(*Again, "Title"), "A title");
        EXPECT_EQ(ApeWithoutItem(*Again, "Segmora_Gain"), Original);
        EXPECT_EQ(ApeWithoutItem(Original, "Segmora_Gain", true), Original);
    }
    // A new tag of the item alone, and nothing left when it goes.
    const auto Fresh = ApeWithItem("", "Segmora_Gain", "x");
    ASSERT_TRUE(Fresh);
    EXPECT_EQ(*Fresh, Tag(Item("Segmora_Gain", "x"), 1, true));
    EXPECT_EQ(ApeWithoutItem(*Fresh, "Segmora_Gain", true), "");
    EXPECT_EQ(ApeWithoutItem(*Fresh, "Segmora_Gain"), Tag("", 0, true));
}

TEST(ApeTag, TagsThatCannotBeReadAreLeftAlone) {
    const std::string Items = Item("Title", "A title");
    std::string BadHeader = Tag(Items, 1, true);
    BadHeader[0] = 'X';
    std::string ValueTooLong = Tag(Items, 1, true);
    ValueTooLong[32] = char(100);
    const std::string Cases[] = {
        Tag(Items, 2, true),                         // more items counted than there are
        Tag(Items + Item("Year", "1999"), 1, true),  // fewer: bytes left over
        Tag(Items, 1, true).substr(1),               // shorter than its size says
        Tag(Items, 1, true).substr(0, 60),           // no footer
        BadHeader,
        ValueTooLong,
        Tag(Items.substr(0, Items.size() - 8), 1, false) + "no zero",  // a key without its end
    };
    for (const std::string& Bad : Cases) {
        EXPECT_EQ(ApeItem(Bad, "Title"), std::nullopt);
        EXPECT_EQ(ApeWithItem(Bad, "Segmora_Gain", "x"), std::nullopt);
        EXPECT_EQ(ApeWithoutItem(Bad, "Title"), std::nullopt);
    }
}

}  // namespace
