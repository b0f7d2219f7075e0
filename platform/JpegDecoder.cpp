#include "platform/JpegDecoder.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

struct TErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Escape;
    char Message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ErrorExit(j_common_ptr Info) {
    auto* Manager = reinterpret_cast<TErrorManager*>(Info->err);
    (*Info->err->format_message)(Info, Manager->Message);
    // libjpeg's one way out of a decode that fails; nothing of ours lives in between.
    std::longjmp(Manager->Escape, 1);  // NOLINT(cert-err52-cpp)
}

// Level -1 is a warning about corrupt or missing data: a picture patched up
// by the library is not the picture that was sent, so it fails as well.
// Trace messages (levels above 0) are dropped.
void EmitMessage(j_common_ptr Info, int Level) {
    if (Level < 0) ErrorExit(Info);
}

void OutputMessage(j_common_ptr) {}

void Fail(std::string* Error, const char* Message) {
    if (Error) *Error = Message;
}

}  // namespace

bool DecodeJpeg(const uint8_t* Data, size_t Size, TRgbaImage& Image, std::string* Error, int MaxSide) {
    Image = TRgbaImage();
    if (Size == 0) {
        Fail(Error, "Empty input");
        return false;
    }
    // Only plain objects live in this frame between setjmp and a longjmp
    // back to it; the pixels belong to the caller's Image.
    jpeg_decompress_struct Info;
    TErrorManager Manager;
    Info.err = jpeg_std_error(&Manager.Base);
    Manager.Base.error_exit = ErrorExit;
    Manager.Base.emit_message = EmitMessage;
    Manager.Base.output_message = OutputMessage;
    Manager.Message[0] = '\0';
    if (setjmp(Manager.Escape)) {  // NOLINT(cert-err52-cpp): see ErrorExit
        jpeg_destroy_decompress(&Info);
        Image = TRgbaImage();
        Fail(Error, Manager.Message);
        return false;
    }
    jpeg_create_decompress(&Info);
    jpeg_mem_src(&Info, Data, static_cast<unsigned long>(Size));
    jpeg_read_header(&Info, TRUE);
    if (Info.image_width > static_cast<JDIMENSION>(MaxSide) || Info.image_height > static_cast<JDIMENSION>(MaxSide)) {
        jpeg_destroy_decompress(&Info);
        Fail(Error, "The picture is too large");
        return false;
    }
    Info.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&Info);
    const size_t Stride = static_cast<size_t>(Info.output_width) * 4;
    Image.Pixels.resize(Stride * Info.output_height);
    while (Info.output_scanline < Info.output_height) {
        JSAMPROW Row = Image.Pixels.data() + Stride * Info.output_scanline;
        jpeg_read_scanlines(&Info, &Row, 1);
    }
    Image.Width = static_cast<int>(Info.output_width);
    Image.Height = static_cast<int>(Info.output_height);
    jpeg_finish_decompress(&Info);
    jpeg_destroy_decompress(&Info);
    return true;
}
