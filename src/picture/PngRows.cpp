#include "picture/PngRows.h"

#include "picture/BlockSource.h"
#include "picture/RowReducer.h"

#include <QIODevice>
#include <algorithm>
#include <csetjmp>
#include <png.h>
#include <vector>

// libpng reports errors by longjmp to the setjmp of the step that called it. The steps that
// can fail (readHeader, readRows) therefore hold nothing with a destructor of its own, and
// everything that must be freed lives in readReduced, outside them.

namespace {

void readSource(png_structp png, png_bytep data, std::size_t length)
{
    if (static_cast<BlockSource*>(png_get_io_ptr(png))->take(data, length) < length)
        png_error(png, "the file ends early");
}

// An undecodable picture shows as the black client area, like any other; what libpng says
// about it is not shown.
[[noreturn]] void fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void ignoreWarning(png_structp, png_const_charp) { }

// libpng's read and info structures, freed together.
struct PngStructs {
    PngStructs()
        : png(png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, fail, ignoreWarning))
        , info(png ? png_create_info_struct(png) : nullptr)
    {
    }
    ~PngStructs() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
    PngStructs(const PngStructs&) = delete;
    PngStructs& operator=(const PngStructs&) = delete;

    png_structp png;
    png_infop info;
};

struct Layout {
    QSize size;
    bool interlaced = false;
    bool alpha = false;
    // Whether the rows come as the reducer takes them: 8-bit red, green, blue and, with
    // alpha, alpha.
    bool bytes = false;
};

// The header and the chunks before the pixels, and the transforms that make every kind of
// PNG arrive as 8-bit RGB or RGBA; the common 8-bit RGB arrives as it is stored, with no
// transform at all. No gamma is applied, as Qt applies none. False when libpng fails.
bool readHeader(png_structp png, png_infop info, Layout& layout)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const png_byte colourType = png_get_color_type(png, info);
    layout.size = QSize(static_cast<int>(width), static_cast<int>(height));
    layout.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    layout.alpha
        = (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (layout.interlaced)
        return true;

    // Palettes, gray below 8 bits and transparent colours become 8-bit channels and alpha.
    png_set_expand(png);
    png_set_scale_16(png);
    if ((colourType & PNG_COLOR_MASK_COLOR) == 0)
        png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    const int channels = layout.alpha ? 4 : 3;
    layout.bytes = png_get_bit_depth(png, info) == 8 && png_get_channels(png, info) == channels
        && png_get_rowbytes(png, info) == std::size_t(width) * channels;
    return true;
}

// Every row into the reducer, then the chunks after the pixels, so that a damaged or cut
// end counts as much as damaged pixels. False when libpng fails.
bool readRows(png_structp png, uchar* row, int height, RowReducer& reducer)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    for (int y = 0; y < height; ++y) {
        png_read_row(png, row, nullptr);
        reducer.addRow(row);
    }
    png_read_end(png, nullptr);
    return true;
}

} // namespace

namespace PngRows {

std::optional<QImage> readReduced(QIODevice& device, QSize storedSize, QSize targetSize)
{
    if (!RowReducer::canReduce(storedSize, targetSize) || !device.seek(0))
        return std::nullopt;
    PngStructs structs;
    if (!structs.info)
        return std::nullopt;
    BlockSource source(device);
    png_set_read_fn(structs.png, &source, readSource);
    // Some encoders declare a smaller compression window than they use; decode such
    // pictures rather than refuse them.
    png_set_option(structs.png, PNG_MAXIMUM_INFLATE_WINDOW, PNG_OPTION_ON);

    Layout layout;
    if (!readHeader(structs.png, structs.info, layout))
        return QImage();
    if (layout.interlaced || !layout.bytes || layout.size != storedSize)
        return std::nullopt;

    RowReducer reducer(storedSize, targetSize, layout.alpha);
    std::vector<uchar> row(static_cast<std::size_t>(storedSize.width()) * (layout.alpha ? 4 : 3));
    if (!readRows(structs.png, row.data(), storedSize.height(), reducer))
        return QImage();
    return reducer.takeResult();
}

} // namespace PngRows
