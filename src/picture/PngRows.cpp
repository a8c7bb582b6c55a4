#include "picture/PngRows.h"

#include "picture/BlockSource.h"
#include "picture/RowReducer.h"

#include <QIODevice>
#include <csetjmp>
#include <png.h>
#include <vector>

// libpng reports errors by longjmp to the setjmp of the step that called it. The steps that
// can fail (readInfo, readTransformed, readRows) therefore hold nothing with a destructor of
// its own, and everything that must be freed lives in readHeader and read, outside them.

namespace {

using Decoding::Outcome;

// No chunk that Lumra reads is longer (a palette is 768 bytes); the pixels are read in
// pieces, whatever length their chunks claim.
constexpr png_alloc_size_t ChunkBytes = png_alloc_size_t { 64 } << 10;
// Beyond a million pixels a side, a picture is refused before any row is sized: libpng's
// own default, said here for a libpng built with another.
constexpr png_uint_32 MaxSide = 1'000'000;
// What libpng allocates besides its two rows: its inflate state and window, the piece of
// the pixels' chunks it reads at a time, the palette; and BlockSource's block.
constexpr qint64 LibpngFixedBytes = qint64 { 192 } << 10;

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

// The header and the chunks up to the pixels. Only IHDR, PLTE, tRNS, IDAT and IEND are read
// (no gamma is applied, as Qt applies none): every other chunk, known to libpng or not, is
// passed over a kilobyte at a time and nothing of it is kept, so that no length it claims
// is ever allocated. The caps on what libpng may allocate for a chunk or keep of chunks
// stand behind that. False when libpng fails.
bool readInfo(png_structp png, png_infop info, BlockSource& source)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, &source, readSource);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_chunk_malloc_max(png, ChunkBytes);
    png_set_chunk_cache_max(png, 16);
    png_set_user_limits(png, MaxSide, MaxSide);
    // Some encoders declare a smaller compression window than they use; decode such
    // pictures rather than refuse them. The pixels' checksum is left unchecked: every
    // chunk's own checksum covers them already, and it costs a twentieth of the decode.
    png_set_option(png, PNG_MAXIMUM_INFLATE_WINDOW, PNG_OPTION_ON);
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    png_read_info(png, info);
    return true;
}

struct Layout {
    QSize size;
    bool interlaced = false;
    bool alpha = false;
    std::size_t rowBytes = 0;
};

// The transforms that make every kind of PNG arrive as the reducer takes it: 8-bit red,
// green, blue and, with alpha or a transparent colour, alpha. False when libpng fails.
bool readTransformed(png_structp png, png_infop info, Layout& layout)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    // Palettes, grey below 8 bits and transparent colours become 8-bit channels and alpha;
    // a transparent 16-bit colour is matched before the channels are scaled.
    png_set_expand(png);
    png_set_scale_16(png);
    if ((png_get_color_type(png, info) & PNG_COLOR_MASK_COLOR) == 0)
        png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const int channels = png_get_channels(png, info);
    layout.size = QSize(int(width), int(png_get_image_height(png, info)));
    layout.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    layout.alpha = channels == 4;
    layout.rowBytes = png_get_rowbytes(png, info);
    return png_get_bit_depth(png, info) == 8 && (channels == 3 || channels == 4)
        && layout.rowBytes == std::size_t(width) * std::size_t(channels);
}

// The rows of the picture into the reducer: each row, or each row of each of the seven
// passes of an interlaced picture, its pixels summed where they belong. libpng leaves the
// passes apart, as its own interlace handling would hold the whole picture.
Outcome readPixels(png_structp png, uchar* row, const Layout& layout, RowReducer& reducer,
    const Decoding::Request& request)
{
    const auto width = png_uint_32(layout.size.width());
    const auto height = png_uint_32(layout.size.height());
    if (!layout.interlaced) {
        for (png_uint_32 y = 0; y < height; ++y) {
            if (request.cancelled())
                return Outcome::Cancelled;
            png_read_row(png, row, nullptr);
            reducer.addRow(row);
        }
        return Outcome::Decoded;
    }
    for (int pass = 0; pass < PNG_INTERLACE_ADAM7_PASSES; ++pass) {
        const png_uint_32 columns = PNG_PASS_COLS(width, pass);
        const png_uint_32 rows = columns == 0 ? 0 : PNG_PASS_ROWS(height, pass);
        for (png_uint_32 passRow = 0; passRow < rows; ++passRow) {
            if (request.cancelled())
                return Outcome::Cancelled;
            png_read_row(png, row, nullptr);
            reducer.addPixels(int(PNG_ROW_FROM_PASS_ROW(passRow, pass)), PNG_PASS_START_COL(pass),
                1 << PNG_PASS_COL_SHIFT(pass), row, int(columns));
        }
    }
    return Outcome::Decoded;
}

// The pixels, then the chunks after them, so that a damaged or cut end counts as much as
// damaged pixels.
Outcome readRows(png_structp png, uchar* row, const Layout& layout, RowReducer& reducer,
    const Decoding::Request& request)
{
    if (setjmp(png_jmpbuf(png)))
        return Outcome::Damaged;
    const Outcome outcome = readPixels(png, row, layout, reducer, request);
    if (outcome == Outcome::Decoded)
        png_read_end(png, nullptr);
    return outcome;
}

} // namespace

namespace PngRows {

std::optional<Decoding::Header> readHeader(QIODevice& device)
{
    PngStructs structs;
    BlockSource source(device);
    if (!structs.info || !device.seek(0) || !readInfo(structs.png, structs.info, source))
        return std::nullopt;
    return Decoding::Header { QSize(int(png_get_image_width(structs.png, structs.info)),
        int(png_get_image_height(structs.png, structs.info))) };
}

Decoding::Result read(QIODevice& device, const Decoding::Request& request)
{
    using Decoding::Result;
    PngStructs structs;
    BlockSource source(device);
    Layout layout;
    if (!structs.info || !device.seek(0) || !readInfo(structs.png, structs.info, source)
        || !readTransformed(structs.png, structs.info, layout) || layout.size != request.storedSize
        || !RowReducer::canReduce(request.storedSize, request.target))
        return Result::failed(Outcome::Damaged);

    const RowReducer::Order order
        = layout.interlaced ? RowReducer::Order::Scattered : RowReducer::Order::Rows;
    // libpng's two rows (the one decoded and the one before) at their widest, 16-bit RGBA
    // and padded to a whole Adam7 block, then the row handed over.
    const qint64 libpngRows = 16 * (qint64(layout.size.width()) + 8);
    if (!Decoding::withinBudget(
            RowReducer::bytesFor(request.storedSize, request.target, layout.alpha, order)
            + libpngRows + LibpngFixedBytes + qint64(layout.rowBytes)))
        return Result::failed(Outcome::OverBudget);

    RowReducer reducer(request.storedSize, request.target, layout.alpha, order);
    std::vector<uchar> row(layout.rowBytes);
    const Outcome outcome = readRows(structs.png, row.data(), layout, reducer, request);
    if (outcome != Outcome::Decoded)
        return Result::failed(outcome);
    return Result::decoded(reducer.takeResult());
}

} // namespace PngRows
