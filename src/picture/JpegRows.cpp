#include "picture/JpegRows.h"

#include "picture/BlockSource.h"
#include "picture/RowReducer.h"

#include <QtEndian>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
// After jpeglib.h, which it needs: the error codes and ERREXIT.
#include <jerror.h>
#include <vector>

// libjpeg reports errors by longjmp to the setjmp of the step that called it. The steps that
// can fail therefore hold nothing with a destructor of its own, and everything that must be
// freed lives outside them.

namespace {

// libjpeg's source manager over the file's blocks. Where the file ends, decoding ends: the
// picture is cut, and the rest need not be made up.
struct Source {
    jpeg_source_mgr manager {};
    BlockSource* blocks = nullptr;
};

void initSource(j_decompress_ptr) { }
void termSource(j_decompress_ptr) { }

boolean fillInput(j_decompress_ptr info)
{
    auto* source = reinterpret_cast<Source*>(info->src);
    const auto [data, size] = source->blocks->takeBlock();
    if (size == 0)
        ERREXIT(info, JERR_INPUT_EOF);
    source->manager.next_input_byte = data;
    source->manager.bytes_in_buffer = size;
    return TRUE;
}

void skipInput(j_decompress_ptr info, long count)
{
    jpeg_source_mgr& manager = *info->src;
    while (count > 0) {
        if (manager.bytes_in_buffer == 0)
            fillInput(info);
        const std::size_t part = std::min(std::size_t(count), manager.bytes_in_buffer);
        manager.next_input_byte += part;
        manager.bytes_in_buffer -= part;
        count -= long(part);
    }
}

struct ErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf escape;
};

[[noreturn]] void escapeOnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

// What libjpeg says about a picture is not shown: an undecodable one shows black.
void ignoreMessage(j_common_ptr) { }

// libjpeg's decompressor reading device, destroyed with it.
class Decompressor {
public:
    explicit Decompressor(QIODevice& device)
        : m_blocks(device)
    {
        m_info.err = jpeg_std_error(&m_errors.manager);
        m_errors.manager.error_exit = escapeOnError;
        m_errors.manager.output_message = ignoreMessage;
    }
    ~Decompressor()
    {
        if (m_created)
            jpeg_destroy_decompress(&m_info);
    }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    j_decompress_ptr info() { return &m_info; }
    std::jmp_buf& escape() { return m_errors.escape; }
    bool ranOut() const { return m_blocks.ranOut(); }

    // Creates the decompressor and reads the header, keeping the first APP1 segments for
    // their EXIF. Call it after setjmp(escape()).
    void start()
    {
        jpeg_create_decompress(&m_info);
        m_created = true;
        m_source.blocks = &m_blocks;
        m_source.manager.init_source = initSource;
        m_source.manager.fill_input_buffer = fillInput;
        m_source.manager.skip_input_data = skipInput;
        m_source.manager.resync_to_restart = jpeg_resync_to_restart;
        m_source.manager.term_source = termSource;
        m_info.src = &m_source.manager;
        jpeg_save_markers(&m_info, JPEG_APP0 + 1, 0xFFFF);
        jpeg_read_header(&m_info, TRUE);
    }

private:
    jpeg_decompress_struct m_info {};
    ErrorManager m_errors {};
    BlockSource m_blocks;
    Source m_source;
    bool m_created = false;
};

// The EXIF orientation (1 to 8) of the first APP1 segment that holds EXIF, as Qt reads it;
// 1 when there is none or it is out of range.
int exifOrientation(const jpeg_decompress_struct& info)
{
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker; marker = marker->next) {
        const auto* data = marker->data;
        const std::size_t size = marker->data_length;
        if (marker->marker != JPEG_APP0 + 1 || size < 14 || std::memcmp(data, "Exif\0\0", 6) != 0)
            continue;
        const JOCTET* tiff = data + 6;
        const std::size_t length = size - 6;
        const bool big = std::memcmp(tiff, "MM", 2) == 0;
        if (!big && std::memcmp(tiff, "II", 2) != 0)
            return 1;
        const auto u16 = [&](std::size_t at) {
            return big ? qFromBigEndian<quint16>(tiff + at) : qFromLittleEndian<quint16>(tiff + at);
        };
        const auto u32 = [&](std::size_t at) {
            return big ? qFromBigEndian<quint32>(tiff + at) : qFromLittleEndian<quint32>(tiff + at);
        };
        const std::size_t directory = u32(4);
        if (directory > length - 2)
            return 1;
        const std::size_t entries = u16(directory);
        for (std::size_t entry = directory + 2;
             entry + 12 <= length && entry < directory + 2 + entries * 12; entry += 12) {
            if (u16(entry) == 0x0112) {
                const int orientation = u16(entry + 8);
                return orientation >= 1 && orientation <= 8 ? orientation : 1;
            }
        }
        return 1;
    }
    return 1;
}

QImageIOHandler::Transformations transformationOf(int orientation)
{
    using T = QImageIOHandler;
    static constexpr T::Transformation ByOrientation[]
        = { T::TransformationNone, T::TransformationMirror, T::TransformationRotate180,
              T::TransformationFlip, T::TransformationFlipAndRotate90, T::TransformationRotate90,
              T::TransformationMirrorAndRotate90, T::TransformationRotate270 };
    return ByOrientation[orientation - 1];
}

// Decodes every row at one over denominator into the reducer, then reads on to the end
// marker, so that a cut end counts as much as cut pixels. False when libjpeg fails.
bool readRows(Decompressor& decompressor, int denominator, std::vector<JOCTET>& row,
    std::optional<RowReducer>& reducer, QSize targetSize)
{
    if (setjmp(decompressor.escape()))
        return false;
    j_decompress_ptr info = decompressor.info();
    info->scale_num = 1;
    info->scale_denom = unsigned(denominator);
    info->out_color_space = JCS_EXT_RGB;
    jpeg_start_decompress(info);
    const QSize decoded(int(info->output_width), int(info->output_height));
    if (!RowReducer::canReduce(decoded, targetSize))
        return false;
    reducer.emplace(decoded, targetSize, false);
    row.resize(std::size_t(decoded.width()) * 3);
    while (info->output_scanline < info->output_height) {
        JSAMPROW rows[] = { row.data() };
        jpeg_read_scanlines(info, rows, 1);
        reducer->addRow(row.data());
    }
    jpeg_finish_decompress(info);
    return true;
}

bool startDecompressor(Decompressor& decompressor)
{
    if (setjmp(decompressor.escape()))
        return false;
    decompressor.start();
    return true;
}

} // namespace

namespace JpegRows {

std::optional<Header> readHeader(QIODevice& device)
{
    if (!device.seek(0))
        return std::nullopt;
    Decompressor decompressor(device);
    if (!startDecompressor(decompressor))
        return std::nullopt;
    const jpeg_decompress_struct& info = *decompressor.info();
    return Header { QSize(int(info.image_width), int(info.image_height)),
        transformationOf(exifOrientation(info)) };
}

std::optional<QImage> readReduced(QIODevice& device, QSize storedSize, QSize targetSize)
{
    if (!RowReducer::canReduce(storedSize, targetSize) || !device.seek(0))
        return std::nullopt;
    Decompressor decompressor(device);
    if (!startDecompressor(decompressor))
        return decompressor.ranOut() ? std::optional(QImage()) : std::nullopt;
    const jpeg_decompress_struct& info = *decompressor.info();
    if (QSize(int(info.image_width), int(info.image_height)) != storedSize
        || info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK)
        return std::nullopt;
    // The smallest scale that still covers the target, as Qt's reader picks it.
    const int ratio = std::min(
        storedSize.width() / targetSize.width(), storedSize.height() / targetSize.height());
    const int denominator = ratio >= 8 ? 8 : ratio >= 4 ? 4 : ratio >= 2 ? 2 : 1;
    std::vector<JOCTET> row;
    std::optional<RowReducer> reducer;
    const bool read = readRows(decompressor, denominator, row, reducer, targetSize);
    if (decompressor.ranOut())
        return QImage();
    if (!read)
        return std::nullopt;
    return reducer->takeResult();
}

} // namespace JpegRows
