#include "JpegFloor.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <memory>
#include <vector>

namespace jpegfloor {

namespace {

struct ErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf escape;
};

[[noreturn]] void escapeOnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

} // namespace

int scaleDenominator(int storedWidth, int storedHeight, int targetWidth, int targetHeight)
{
    if (targetWidth <= 0 || targetHeight <= 0)
        return 1;
    const int ratio = std::min(storedWidth / targetWidth, storedHeight / targetHeight);
    return ratio >= 8 ? 8 : ratio >= 4 ? 4 : ratio >= 2 ? 2 : 1;
}

bool decode(const std::string& path, int denominator)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file)
        return false;
    jpeg_decompress_struct info {};
    ErrorManager errors {};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = escapeOnError;
    // Everything with a destructor is made before setjmp, so a jump back on an error leaves
    // it to be destroyed on the way out as usual.
    std::vector<JSAMPLE> pixels;
    if (setjmp(errors.escape) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file.get());
    jpeg_read_header(&info, TRUE);
    info.scale_num = 1;
    info.scale_denom = static_cast<unsigned>(denominator);
    // libjpeg converts no CMYK to RGB: those come out as they are stored, four bytes a pixel.
    const bool inks = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = inks ? JCS_CMYK : JCS_EXT_BGRX;
    jpeg_start_decompress(&info);
    pixels.resize(std::size_t(info.output_width) * info.output_height * 4);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels.data() + std::size_t(info.output_scanline) * info.output_width * 4;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace jpegfloor
