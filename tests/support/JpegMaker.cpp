#include "tests/support/JpegMaker.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

std::string MakeJpeg(int Width, int Height, bool Grey) {
    jpeg_compress_struct Info;
    jpeg_error_mgr Errors;
    Info.err = jpeg_std_error(&Errors);
    jpeg_create_compress(&Info);
    unsigned char* Out = nullptr;
    unsigned long OutSize = 0;
    jpeg_mem_dest(&Info, &Out, &OutSize);
    Info.image_width = static_cast<JDIMENSION>(Width);
    Info.image_height = static_cast<JDIMENSION>(Height);
    Info.input_components = Grey ? 1 : 3;
    Info.in_color_space = Grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&Info);
    jpeg_set_quality(&Info, 95, TRUE);
    jpeg_start_compress(&Info, TRUE);
    const int Components = Grey ? 1 : 3;
    std::vector<unsigned char> Row(static_cast<size_t>(Width) * Components);
    while (Info.next_scanline < Info.image_height) {
        const int Y = static_cast<int>(Info.next_scanline);
        for (int X = 0; X < Width; ++X) {
            unsigned char* P = &Row[static_cast<size_t>(X) * Components];
            if (Grey) {
                P[0] = static_cast<unsigned char>(200 - (X + Y) % 64);
            } else {
                P[0] = static_cast<unsigned char>(200 - X % 64);
                P[1] = static_cast<unsigned char>(40 + Y % 64);
                P[2] = 40;
            }
        }
        JSAMPROW Pointer = Row.data();
        jpeg_write_scanlines(&Info, &Pointer, 1);
    }
    jpeg_finish_compress(&Info);
    jpeg_destroy_compress(&Info);
    std::string Bytes(reinterpret_cast<const char*>(Out), OutSize);
    std::free(Out);
    return Bytes;
}
