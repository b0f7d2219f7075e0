// APEv2 tags at the end of an MP3 file, as far as keeping a record of our own
// in one needs: where the whole tag begins, an item read, set and removed,
// every other byte of the tag kept as it was. Removing an item that was set
// gives back the very bytes the tag had before.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/Mp3DataInfo.h"
#include "platform/FileStream.h"

// Where the APE tag whose footer the analysis found begins, its header
// included; Info.AudioEnd() when there is none, or its footer tells no size
// that fits behind the first frame.
int64_t ApeTagStart(TFileStream& Source, const TMp3DataInfo& Info);

// Tag holds a whole tag (header when it has one, items, footer). The value of
// the item Key (keys compare without regard to letter case); none when the
// tag has no such item or cannot be read.
std::optional<std::string> ApeItem(const std::string& Tag, const std::string& Key);
// The tag with the item Key holding Value (a UTF-8 text), put last among
// the items; a new APEv2 tag of that item alone for an empty Tag. None when
// Tag cannot be read.
std::optional<std::string> ApeWithItem(const std::string& Tag, const std::string& Key, const std::string& Value);
// The tag without the item Key; none when Tag cannot be read. With
// DropEmpty, nothing (an empty string) when no item is left.
std::optional<std::string> ApeWithoutItem(const std::string& Tag, const std::string& Key, bool DropEmpty = false);
