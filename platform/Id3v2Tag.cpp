#include "platform/Id3v2Tag.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "platform/FileStream.h"
#include "platform/Id3v2TagLib.h"

namespace {

constexpr int64_t HeaderBytes = 10;  // and as many for a footer

// The fields in the module's order (TId3v2FieldIndex), with the frame each
// is read from when a tag is described.
struct TFieldFrame {
    std::optional<std::string> TId3v2Texts::*Field;
    const char* Frame;
};
constexpr std::array<TFieldFrame, Id3v2FieldCount> Fields = {{
    {&TId3v2Texts::Title, "TIT2"},
    {&TId3v2Texts::Artist, "TPE1"},
    {&TId3v2Texts::Album, "TALB"},
    {&TId3v2Texts::Year, "TDRC"},
    {&TId3v2Texts::Comment, "COMM"},
    {&TId3v2Texts::Track, "TRCK"},
    {&TId3v2Texts::Genre, "TCON"},
}};

// In lib/segmora beside the program's bin folder, in the build tree as once installed.
std::string ModulePath() {
    std::error_code Ec;
    const std::filesystem::path Program = std::filesystem::read_symlink("/proc/self/exe", Ec);
    return (Program.parent_path().parent_path() / "lib" / "segmora" / "segmora-id3v2.so").string();
}

struct TModule {
    const TId3v2Functions* Functions = nullptr;
    std::string Error;
};

TModule LoadModule() {
    TModule Module;
    const std::string Path = ModulePath();
    void* Handle = ::dlopen(Path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!Handle) {
        Module.Error = ::dlerror();
        return Module;
    }
    const auto Entry = reinterpret_cast<TSegmoraId3v2Functions>(::dlsym(Handle, "SegmoraId3v2Functions"));
    const TId3v2Functions* Functions = Entry ? Entry() : nullptr;
    if (Functions && Functions->Revision == Id3v2ModuleRevision)
        Module.Functions = Functions;
    else
        Module.Error = Path + " belongs to another build";
    return Module;
}

// Loaded at the first use, and kept as long as the process lives.
const TId3v2Functions& Module() {
    static const TModule Loaded = LoadModule();
    if (!Loaded.Functions) throw EId3v2Error("ID3v2 tags need TagLib, which cannot be loaded: " + Loaded.Error);
    return *Loaded.Functions;
}

int64_t SyncsafeValue(const unsigned char* Bytes) {
    return (int64_t(Bytes[0] & 0x7F) << 21) | ((Bytes[1] & 0x7F) << 14) | ((Bytes[2] & 0x7F) << 7) | (Bytes[3] & 0x7F);
}

}  // namespace

TId3v2Tag TId3v2Tag::Read(const std::string& FileName) {
    TFileStream Stream(FileName, TFileMode::fmOpenRead);
    unsigned char Header[HeaderBytes] = {};
    if (Stream.Read(Header, HeaderBytes) < HeaderBytes || std::memcmp(Header, "ID3", 3) != 0) return {};
    const bool HasFooter = (Header[5] & 0x10) != 0;
    const int64_t Size =
        std::min(HeaderBytes + SyncsafeValue(Header + 6) + (HasFooter ? HeaderBytes : 0), Stream.Size());
    std::string Bytes(size_t(Size), '\0');
    Stream.SetPosition(0);
    Bytes.resize(size_t(Stream.Read(Bytes.data(), Size)));
    return FromBytes(std::move(Bytes));
}

TId3v2Tag TId3v2Tag::FromBytes(std::string Bytes) {
    TId3v2Tag Tag;
    if (Bytes.compare(0, 3, "ID3") != 0) return Tag;
    const TId3v2FrameVisit Visit = [](void* Context, const TId3v2FrameView* F) {
        TId3v2Tag& T = *static_cast<TId3v2Tag*>(Context);
        T.FFrameIds.emplace_back(F->Id);
        if (std::strcmp(F->Id, "APIC") == 0) {
            T.FPictures.push_back({F->PictureType, F->MimeType, F->Description, std::string(F->Data, F->DataSize)});
            return;
        }
        // The first of each; a comment with a description is some program's data.
        const bool Year = std::strcmp(F->Id, "TYER") == 0;
        for (const TFieldFrame& Field : Fields) {
            std::optional<std::string>& Text = T.FTexts.*Field.Field;
            const bool Frame = std::strcmp(F->Id, Field.Frame) == 0 || (Year && Field.Field == &TId3v2Texts::Year);
            if (Frame && !Text && (Field.Field != &TId3v2Texts::Comment || !*F->Description)) Text = F->Text;
        }
    };
    Tag.FVersion = Module().Describe(Bytes.data(), Bytes.size(), Visit, &Tag);
    if (!Tag.Present()) return TId3v2Tag();
    Tag.FBytes = std::move(Bytes);
    return Tag;
}

void TId3v2Tag::RequireTagLib() { Module(); }

std::string TId3v2Tag::Render(const TId3v2Texts& Texts, bool CarryOver) const {
    std::array<const char*, Id3v2FieldCount> Given{};
    for (size_t I = 0; I < Fields.size(); ++I) {
        const std::optional<std::string>& Text = Texts.*Fields[I].Field;
        Given[I] = Text ? Text->c_str() : nullptr;
    }
    std::string Out;
    const TId3v2Write Write = [](void* Context, const char* Bytes, size_t Count) {
        static_cast<std::string*>(Context)->append(Bytes, Count);
    };
    if (!Module().Render(FBytes.data(), FBytes.size(), Given.data(), CarryOver, Write, &Out))
        throw EId3v2Error("TagLib could not make the ID3v2 tag");
    return Out;
}
