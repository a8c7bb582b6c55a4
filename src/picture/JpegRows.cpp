#include "picture/JpegRows.h"

#include "picture/BlockSource.h"
#include "picture/RowReducer.h"

#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
// After jpeglib.h, which it needs: the error and warning codes.
#include <jerror.h>
#include <vector>

// libjpeg reports errors by longjmp to the setjmp of the step that called it. The steps that
// can fail therefore hold nothing with a destructor of its own, and everything that must be
// freed lives outside them.

using Decoding::Outcome;

namespace {

// The most scans a picture may have, and the most blocks they may pass over together. Each
// scan passes over every block of its components, and one that ends every block at once, or
// whose arithmetic coding makes nothing of them, takes a few bytes: without a limit a file of
// a few kilobytes could keep the decoder busy for seconds. Encoders write about ten scans
// (libjpeg's own progression ten for a colour picture, six for a grey one, optimising
// encoders rarely twenty), together some six passes over the picture's blocks. The blocks
// allow twelve passes over the largest picture the budget allows, which takes about 0.6 s
// where each block costs most (arithmetic coding).
constexpr int MaxScans = 64;
constexpr qint64 MaxScanBlocks = 24'000'000;

// What libjpeg holds of each component while it decodes, in rows of the width decoded: the
// rows of blocks its main buffer keeps around the band being output, and those it upsamples.
constexpr qint64 WorkingRows = 32;

// libjpeg's source manager over the file's blocks. Where the file ends it reads an end
// marker: a file missing only its own is whole, and a scan cut short finds its data short.
struct Source {
    jpeg_source_mgr manager {};
    BlockSource* blocks = nullptr;
};

const JOCTET EndMarker[] = { 0xFF, JPEG_EOI };

void initSource(j_decompress_ptr) { }
void termSource(j_decompress_ptr) { }

boolean fillInput(j_decompress_ptr info)
{
    auto* source = reinterpret_cast<Source*>(info->src);
    auto [data, size] = source->blocks->takeBlock();
    if (size == 0) {
        data = EndMarker;
        size = sizeof EndMarker;
    }
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

// The EXIF orientation (1 to 8) of an APP1 segment, as Qt reads it: 1 when it has none or one
// out of range; nothing when the segment holds no EXIF.
std::optional<int> exifOrientation(const std::vector<JOCTET>& segment)
{
    const std::size_t size = segment.size();
    if (size < 14 || std::memcmp(segment.data(), "Exif\0\0", 6) != 0)
        return std::nullopt;
    const JOCTET* tiff = segment.data() + 6;
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

QImageIOHandler::Transformations transformationOf(int orientation)
{
    using T = QImageIOHandler;
    static constexpr T::Transformation ByOrientation[]
        = { T::TransformationNone, T::TransformationMirror, T::TransformationRotate180,
              T::TransformationFlip, T::TransformationFlipAndRotate90, T::TransformationRotate90,
              T::TransformationMirrorAndRotate90, T::TransformationRotate270 };
    return ByOrientation[orientation - 1];
}

// libjpeg's decompressor reading device, destroyed with it; the request, when there is one,
// gives the flag that stops it. Its callbacks find it through the decompressor's client data.
class Decompressor {
public:
    explicit Decompressor(QIODevice& device, const Decoding::Request* request = nullptr)
        : m_blocks(device)
        , m_request(request)
    {
        m_info.err = jpeg_std_error(&m_errors);
        m_errors.error_exit = onError;
        m_errors.emit_message = onMessage;
        m_info.client_data = this;
        m_progress.progress_monitor = onProgress;
    }
    ~Decompressor()
    {
        if (m_created)
            jpeg_destroy_decompress(&m_info);
    }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    j_decompress_ptr info() { return &m_info; }
    std::jmp_buf& escape() { return m_escape; }
    Outcome failure() const { return m_failure; }
    int orientation() const { return m_orientation.value_or(1); }

    // Ends the step under way with outcome.
    [[noreturn]] void fail(Outcome outcome)
    {
        m_failure = outcome;
        std::longjmp(m_escape, 1);
    }

    // Creates the decompressor and reads the header, with the orientation of the first APP1
    // segment that holds EXIF. Call it after setjmp(escape()).
    void start()
    {
        jpeg_create_decompress(&m_info);
        m_created = true;
        m_info.progress = &m_progress;
        m_source.blocks = &m_blocks;
        m_source.manager.init_source = initSource;
        m_source.manager.fill_input_buffer = fillInput;
        m_source.manager.skip_input_data = skipInput;
        m_source.manager.resync_to_restart = jpeg_resync_to_restart;
        m_source.manager.term_source = termSource;
        m_info.src = &m_source.manager;
        jpeg_set_marker_processor(&m_info, JPEG_APP0 + 1, readApp1);
        jpeg_read_header(&m_info, TRUE);
    }

    bool ranOut() const { return m_blocks.ranOut(); }

    // Whether the scans read bring every coefficient to its full precision (a progressive
    // picture) or cover every component (a sequential one). Ask before
    // jpeg_finish_decompress, which frees what tells it.
    bool complete() const
    {
        if (!m_info.progressive_mode)
            return m_scanned == (1u << m_info.num_components) - 1;
        for (int component = 0; component < m_info.num_components; ++component)
            for (int coefficient = 0; coefficient < DCTSIZE2; ++coefficient)
                if (m_info.coef_bits[component][coefficient] != 0)
                    return false;
        return true;
    }

private:
    static Decompressor& of(j_common_ptr info)
    {
        return *static_cast<Decompressor*>(info->client_data);
    }

    [[noreturn]] static void onError(j_common_ptr info)
    {
        const int code = info->err->msg_code;
        of(info).fail(code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE
                ? Outcome::OverBudget
                : Outcome::Damaged);
    }

    // Warnings are not shown, but a scan whose data stops before its last block is damaged,
    // wherever it stops: libjpeg would make up the rest.
    static void onMessage(j_common_ptr info, int level)
    {
        if (level < 0 && info->err->msg_code == JWRN_HIT_MARKER)
            of(info).fail(Outcome::Damaged);
    }

    // Called once a row of blocks while scans are read, and once a row while rows are output;
    // first with each scan before its data is read.
    static void onProgress(j_common_ptr common)
    {
        Decompressor& decompressor = of(common);
        const auto* info = reinterpret_cast<j_decompress_ptr>(common);
        if (decompressor.m_request && decompressor.m_request->cancelled())
            decompressor.fail(Outcome::Cancelled);
        if (info->input_scan_number == decompressor.m_scan)
            return;
        decompressor.m_scan = info->input_scan_number;
        decompressor.m_scanBlocks
            += qint64(info->MCUs_per_row) * info->MCU_rows_in_scan * info->blocks_in_MCU;
        if (decompressor.m_scan > MaxScans || decompressor.m_scanBlocks > MaxScanBlocks)
            decompressor.fail(Outcome::Damaged);
        for (int index = 0; index < info->comps_in_scan; ++index)
            decompressor.m_scanned |= 1u << info->cur_comp_info[index]->component_index;
    }

    // Keeps the orientation of the first APP1 segment that holds EXIF and skips the others,
    // so that a header of many segments takes no more memory than one.
    static boolean readApp1(j_decompress_ptr info)
    {
        Decompressor& decompressor = of(reinterpret_cast<j_common_ptr>(info));
        jpeg_source_mgr& source = *info->src;
        const auto next = [&]() -> JOCTET {
            if (source.bytes_in_buffer == 0)
                fillInput(info);
            --source.bytes_in_buffer;
            return *source.next_input_byte++;
        };
        const std::size_t high = next();
        const std::size_t length = std::max<std::size_t>(high << 8 | next(), 2) - 2;
        if (decompressor.m_orientation) {
            skipInput(info, long(length));
            return TRUE;
        }
        std::vector<JOCTET>& segment = decompressor.m_segment;
        segment.resize(length);
        std::generate(segment.begin(), segment.end(), next);
        decompressor.m_orientation = exifOrientation(segment);
        return TRUE;
    }

    jpeg_decompress_struct m_info {};
    jpeg_error_mgr m_errors {};
    jpeg_progress_mgr m_progress {};
    std::jmp_buf m_escape {};
    Outcome m_failure = Outcome::Damaged;
    BlockSource m_blocks;
    Source m_source;
    const Decoding::Request* m_request;
    std::vector<JOCTET> m_segment;
    std::optional<int> m_orientation;
    int m_scan = 0;
    qint64 m_scanBlocks = 0; // the blocks of every scan so far
    unsigned m_scanned = 0; // a bit for each component a scan has covered
    bool m_created = false;
};

bool startDecompressor(Decompressor& decompressor)
{
    if (setjmp(decompressor.escape()))
        return false;
    decompressor.start();
    return true;
}

// What libjpeg's coefficient buffer takes: a picture of several scans is held whole, every
// block of every component, until its last scan is read.
qint64 coefficientBytes(j_decompress_ptr info)
{
    if (!jpeg_has_multiple_scans(info))
        return 0;
    const auto roundUp = [](qint64 count, qint64 step) { return (count + step - 1) / step * step; };
    qint64 blocks = 0;
    for (int index = 0; index < info->num_components; ++index) {
        const jpeg_component_info& component = info->comp_info[index];
        blocks += roundUp(component.width_in_blocks, component.h_samp_factor)
            * roundUp(component.height_in_blocks, component.v_samp_factor);
    }
    return blocks * qint64(sizeof(JBLOCK));
}

// Adobe's CMYK as Qt reads it: the values are stored inverted, each what is left of white,
// so a channel is the product of its ink's and black's over 255 (rounded down, in 16 bits).
void cmykToRgb(const JOCTET* cmyk, JOCTET* rgb, std::size_t width)
{
    for (std::size_t x = 0; x < width; ++x) {
        const quint16 black = cmyk[4 * x + 3];
        for (std::size_t channel = 0; channel < 3; ++channel) {
            const auto product = quint16(cmyk[4 * x + channel] * black);
            rgb[3 * x + channel] = JOCTET((product + 1 + (product >> 8)) >> 8);
        }
    }
}

// Decodes every row into the reducer at the smallest DCT scale that still covers the target,
// as Qt's reader picks it, then reads on to the end marker. False when it fails, with the
// outcome in the decompressor.
bool decode(Decompressor& decompressor, const Decoding::Request& request, std::vector<JOCTET>& rows,
    std::optional<RowReducer>& reducer)
{
    if (setjmp(decompressor.escape()))
        return false;
    decompressor.start();
    j_decompress_ptr info = decompressor.info();
    const QSize stored = request.storedSize;
    const QSize target = request.target;
    if (QSize(int(info->image_width), int(info->image_height)) != stored)
        return false;
    const int ratio = std::min(stored.width() / target.width(), stored.height() / target.height());
    info->scale_num = 1;
    info->scale_denom = ratio >= 8 ? 8 : ratio >= 4 ? 4 : ratio >= 2 ? 2 : 1;
    const bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    info->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGB;
    jpeg_calc_output_dimensions(info);
    const QSize decoded(int(info->output_width), int(info->output_height));
    if (!RowReducer::canReduce(decoded, target))
        return false;
    const std::size_t width = info->output_width;
    const std::size_t rowBytes = width * std::size_t(info->output_components + (cmyk ? 3 : 0));
    const qint64 ours = RowReducer::bytesFor(decoded, target, false) + qint64(rowBytes);
    const qint64 library
        = qint64(width) * info->num_components * WorkingRows + coefficientBytes(info);
    if (!Decoding::withinBudget(ours + library))
        decompressor.fail(Outcome::OverBudget);
    info->mem->max_memory_to_use = long(Decoding::Budget - ours);
    reducer.emplace(decoded, target, false);
    rows.resize(rowBytes);
    JSAMPROW row = rows.data();
    JOCTET* rgb = cmyk ? row + width * 4 : row;
    jpeg_start_decompress(info);
    while (info->output_scanline < info->output_height) {
        if (request.cancelled())
            decompressor.fail(Outcome::Cancelled);
        jpeg_read_scanlines(info, &row, 1);
        if (cmyk)
            cmykToRgb(row, rgb, width);
        reducer->addRow(rgb);
    }
    const bool complete = decompressor.complete();
    jpeg_finish_decompress(info);
    // Where the file ends without its end marker, scans may be missing: an encoder may leave
    // out the last bands of a progressive picture, but a cut file cannot be told from that.
    return complete || !decompressor.ranOut();
}

} // namespace

namespace JpegRows {

std::optional<Decoding::Header> readHeader(QIODevice& device)
{
    if (!device.seek(0))
        return std::nullopt;
    Decompressor decompressor(device);
    if (!startDecompressor(decompressor))
        return std::nullopt;
    const jpeg_decompress_struct& info = *decompressor.info();
    return Decoding::Header { QSize(int(info.image_width), int(info.image_height)),
        transformationOf(decompressor.orientation()) };
}

Decoding::Result read(QIODevice& device, const Decoding::Request& request)
{
    if (!RowReducer::canReduce(request.storedSize, request.target) || !device.seek(0))
        return Decoding::Result::failed(Outcome::Damaged);
    Decompressor decompressor(device, &request);
    std::vector<JOCTET> rows;
    std::optional<RowReducer> reducer;
    if (!decode(decompressor, request, rows, reducer))
        return Decoding::Result::failed(decompressor.failure());
    return Decoding::Result::decoded(reducer->takeResult());
}

} // namespace JpegRows
