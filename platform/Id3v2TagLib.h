// The interface of the module that reads and renders ID3v2 tags with TagLib
// (segmora-id3v2.so). TagLib brings the shared C++ runtime with it, which
// segmora-cli is built without so that it starts as quickly as cp: the
// module is loaded only when a tag is to be read or made (Id3v2Tag.h), and
// only C types cross between the two.
#pragma once

#include <stddef.h>

extern "C" {

// The texts a tag is made with, in this order.
enum TId3v2FieldIndex { IdxTitle, IdxArtist, IdxAlbum, IdxYear, IdxComment, IdxTrack, IdxGenre, Id3v2FieldCount };

// One frame of a tag read. The text fields of the frames stay valid only
// during the call that hands the view over.
struct TId3v2FrameView {
    const char* Id;           // "TIT2", "APIC", ...
    const char* Description;  // of comments, user texts and pictures; else ""
    const char* Text;         // UTF-8: the frame's text (a genre by its name); "" for a picture
    const char* MimeType;     // of a picture; else ""
    int PictureType;          // of a picture (3: the front cover); else -1
    const char* Data;         // a picture's bytes
    size_t DataSize;
};

typedef void (*TId3v2FrameVisit)(void* Context, const struct TId3v2FrameView* Frame);
typedef void (*TId3v2Write)(void* Context, const char* Bytes, size_t Count);

struct TId3v2Functions {
    // Id3v2ModuleRevision of the module: the caller refuses any other.
    int Revision;
    // Reads the tag at the start of Bytes and calls Visit for each of its
    // frames. Returns its major version (2, 3 or 4), 0 when Bytes begin
    // with no tag TagLib can read.
    int (*Describe)(const char* Bytes, size_t Size, TId3v2FrameVisit Visit, void* Context);
    // Makes an ID3v2.4 tag and hands its bytes to Write: Fields (UTF-8,
    // TId3v2FieldIndex order; NULL: not given) and, when CarryOver, the
    // frames of the tag at the start of Bytes that still hold for a piece
    // of its audio and that no field given replaces. Returns 0 when TagLib
    // failed.
    int (*Render)(const char* Bytes, size_t Size, const char* const* Fields, int CarryOver, TId3v2Write Write,
                  void* Context);
};

enum { Id3v2ModuleRevision = 1 };

// The module's one exported symbol.
const struct TId3v2Functions* SegmoraId3v2Functions(void);
typedef const struct TId3v2Functions* (*TSegmoraId3v2Functions)(void);
}
