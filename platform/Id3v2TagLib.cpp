// The module segmora-id3v2.so: ID3v2 tags read and rendered by TagLib.
#include "platform/Id3v2TagLib.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace TagLib;

// The tag at the start of some bytes, as TagLib reads it from a file of them.
class TParsedTag {
public:
    TParsedTag(const char* Bytes, size_t Size)
        : FStream(ByteVector(Bytes, static_cast<unsigned>(Size))),
          FFile(&FStream, ID3v2::FrameFactory::instance(), false) {}
    ID3v2::Tag* Tag() { return FFile.hasID3v2Tag() ? FFile.ID3v2Tag() : nullptr; }

private:
    ByteVectorStream FStream;
    MPEG::File FFile;
};

std::string Utf8(const String& S) { return S.to8Bit(true); }

// The frames that replace the field of each index.
const std::array<const char*, Id3v2FieldCount> FieldFrame = {"TIT2", "TPE1", "TALB", "TDRC", "COMM", "TRCK", "TCON"};

// What describes the source's audio as a whole and is wrong for a piece of
// it: its length, lookup tables, lyrics and events timed from its start,
// and iTunes' gapless information (the samples to drop at its two ends).
bool DescribesTheWhole(const ID3v2::Frame& F) {
    const ByteVector Id = F.frameID();
    for (const char* Whole : {"TLEN", "MLLT", "SYLT", "ETCO", "SYTC", "SEEK", "ASPI", "POSS"})
        if (Id == Whole) return true;
    if (const auto* C = dynamic_cast<const ID3v2::CommentsFrame*>(&F)) return C->description() == "iTunSMPB";
    if (const auto* U = dynamic_cast<const ID3v2::UserTextIdentificationFrame*>(&F))
        return U->description() == "iTunSMPB";
    return false;
}

// The frames a field given replaces: the comment is the one without a description.
bool Replaces(int Field, const ID3v2::Frame& F) {
    const ByteVector Id = F.frameID();
    if (Field == IdxComment) {
        const auto* C = dynamic_cast<const ID3v2::CommentsFrame*>(&F);
        return C && C->description().isEmpty();
    }
    if (Field == IdxYear)
        for (const char* Old : {"TYER", "TDAT", "TIME", "TRDA"})
            if (Id == Old) return true;
    return Id == FieldFrame[size_t(Field)];
}

void Put(ID3v2::Tag& Tag, int Field, const char* Text) {
    const String Value(Text, String::UTF8);
    if (Value.isEmpty()) return;
    if (Field == IdxComment) {
        auto* C = new ID3v2::CommentsFrame(String::UTF8);
        C->setLanguage("XXX");  // unknown
        C->setText(Value);
        Tag.addFrame(C);
        return;
    }
    auto* T = new ID3v2::TextIdentificationFrame(FieldFrame[size_t(Field)], String::UTF8);
    T->setText(Value);
    Tag.addFrame(T);
}

void VisitFrames(ID3v2::Tag& Tag, TId3v2FrameVisit Visit, void* Context) {
    for (ID3v2::Frame* F : Tag.frameList()) {
        const std::string Id(F->frameID().data(), F->frameID().size());
        std::string Description, Text, Mime;
        int Type = -1;
        ByteVector Data;
        if (const auto* P = dynamic_cast<const ID3v2::AttachedPictureFrame*>(F)) {
            Description = Utf8(P->description());
            Mime = Utf8(P->mimeType());
            Type = P->type();
            Data = P->picture();
        } else if (const auto* C = dynamic_cast<const ID3v2::CommentsFrame*>(F)) {
            Description = Utf8(C->description());
            Text = Utf8(C->text());
        } else if (const auto* U = dynamic_cast<const ID3v2::UserTextIdentificationFrame*>(F)) {
            Description = Utf8(U->description());
            StringList Values = U->fieldList();  // the description first
            if (!Values.isEmpty()) Values.erase(Values.begin());
            Text = Utf8(Values.toString("; "));
        } else {
            // TagLib names a genre given by its ID3v1 number.
            Text = Id == "TCON" ? Utf8(Tag.genre()) : Utf8(F->toString());
        }
        const TId3v2FrameView View{Id.c_str(), Description.c_str(), Text.c_str(), Mime.c_str(),
                                   Type,       Data.data(),         Data.size()};
        Visit(Context, &View);
    }
}

int Describe(const char* Bytes, size_t Size, TId3v2FrameVisit Visit, void* Context) {
    try {
        TParsedTag Parsed(Bytes, Size);
        ID3v2::Tag* Tag = Parsed.Tag();
        if (!Tag) return 0;
        VisitFrames(*Tag, Visit, Context);
        return static_cast<int>(Tag->header()->majorVersion());
    } catch (...) {
        return 0;
    }
}

int Render(const char* Bytes, size_t Size, const char* const* Fields, int CarryOver, TId3v2Write Write, void* Context) {
    try {
        ID3v2::Tag Fresh;
        std::unique_ptr<TParsedTag> Source;
        if (CarryOver && Size > 0) Source = std::make_unique<TParsedTag>(Bytes, Size);
        ID3v2::Tag& Tag = Source && Source->Tag() ? *Source->Tag() : Fresh;
        // The pointers alone: a copy of TagLib's list would share its data,
        // which deletes the frames it holds when the tag's own list detaches.
        const ID3v2::FrameList& List = Tag.frameList();
        const std::vector<ID3v2::Frame*> Frames(List.begin(), List.end());
        for (ID3v2::Frame* F : Frames) {
            bool Drop = DescribesTheWhole(*F);
            for (int I = 0; I < Id3v2FieldCount && !Drop; ++I) Drop = Fields[I] && Replaces(I, *F);
            if (Drop) Tag.removeFrame(F);
        }
        for (int I = 0; I < Id3v2FieldCount; ++I)
            if (Fields[I]) Put(Tag, I, Fields[I]);
        const ByteVector Out = Tag.render(ID3v2::v4);
        Write(Context, Out.data(), Out.size());
        return 1;
    } catch (...) {
        return 0;
    }
}

const TId3v2Functions Functions = {Id3v2ModuleRevision, Describe, Render};

}  // namespace

extern "C" __attribute__((visibility("default"))) const TId3v2Functions* SegmoraId3v2Functions(void) {
    return &Functions;
}
