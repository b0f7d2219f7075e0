// ID3v2 tags, read and made with TagLib: a file's tag as its usual texts,
// its pictures and the frames it holds, and a new ID3v2.4 tag as the bytes a
// save writes in front of a piece's audio. TagLib is loaded on first use
// (see Id3v2TagLib.h).
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// TagLib cannot be loaded, or cannot make the tag; the text says why.
class EId3v2Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The usual texts of a tag, in UTF-8. Track is "n" or "n/total"; Genre a
// name. Absent from a tag read: the tag has no such frame.
struct TId3v2Texts {
    std::optional<std::string> Title, Artist, Album, Year, Comment, Track, Genre;
};

struct TId3v2Picture {
    int Type = 0;  // as ID3v2 numbers them: 3 is the front cover
    std::string MimeType, Description;
    std::string Data;  // the picture file's bytes
};

class TId3v2Tag {
public:
    // No tag.
    TId3v2Tag() = default;
    // The tag FileName begins with; none when it begins with none, or with
    // one TagLib cannot read. Raises EStreamError when the file cannot be
    // read, EId3v2Error when the file has a tag and TagLib cannot be loaded.
    static TId3v2Tag Read(const std::string& FileName);
    // The same for a file's first bytes (the whole tag, and what follows).
    static TId3v2Tag FromBytes(std::string Bytes);
    // Raises EId3v2Error when TagLib cannot be loaded, so that a command
    // that makes many tags can fail before it makes the first.
    static void RequireTagLib();

    bool Present() const { return FVersion > 0; }
    // Its major version (2, 3 or 4); 0 without a tag.
    int Version() const { return FVersion; }
    const TId3v2Texts& Texts() const { return FTexts; }
    const std::vector<TId3v2Picture>& Pictures() const { return FPictures; }
    // The four-letter names of all its frames, in order.
    const std::vector<std::string>& FrameIds() const { return FFrameIds; }

    // A new ID3v2.4 tag, as bytes: the texts given (an empty one: none)
    // and, with CarryOver, this tag's other frames (pictures among them)
    // that still hold for a piece of its audio: not those that describe the
    // whole, such as its length, timed lyrics or gapless information.
    // Raises EId3v2Error when TagLib cannot be loaded or fails.
    std::string Render(const TId3v2Texts& Texts, bool CarryOver) const;

private:
    std::string FBytes;  // the tag as read
    int FVersion = 0;
    TId3v2Texts FTexts;
    std::vector<TId3v2Picture> FPictures;
    std::vector<std::string> FFrameIds;
};
