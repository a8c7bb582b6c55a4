#include "picture/BmpRows.h"

#include "picture/BlockSource.h"
#include "picture/RowReducer.h"

#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstring>
#include <vector>

namespace {

using Decoding::Outcome;

// What uncompressed rows are read in: big enough that a read costs little next to its bytes.
constexpr qint64 BlockSize = qint64 { 256 } * 1024;

// The compressions read here, as the info header names them.
enum Compression : quint32 {
    Plain = 0,
    RunLengths8 = 1,
    RunLengths4 = 2,
    BitFields = 3,
    AlphaBitFields = 6,
};

// A channel of a pixel of 16 or 32 bits, told by its mask and scaled to 8 bits: a narrower
// one is shifted up as Qt's reader does (31 of 5 bits is 248), a wider one keeps its top 8
// bits. An empty mask gives 0.
class Channel {
public:
    explicit Channel(quint32 mask = 0)
        : m_mask(mask)
    {
        const int shift = mask != 0 ? std::countr_zero(mask) : 0;
        const int width = int(std::bit_width(mask >> shift));
        m_down = shift + std::max(width - 8, 0);
        m_up = std::max(8 - width, 0);
    }
    bool empty() const { return m_mask == 0; }
    uchar of(quint32 pixel) const { return uchar(((pixel & m_mask) >> m_down) << m_up); }

private:
    quint32 m_mask = 0;
    int m_down = 0;
    int m_up = 0;
};

// Red, green, blue and a byte unused, so that a colour is stored in one move.
using Colour = std::array<uchar, 4>;

struct Layout {
    QSize size;
    int bits = 0; // a pixel's: 1, 4, 8, 16, 24 or 32
    quint32 compression = Plain;
    bool bottomUp = true;
    qint64 pixelsAt = 0; // where the rows start in the file
    qint64 stride = 0; // an uncompressed row's bytes, padded to a multiple of 4
    // 16 and 32 bits a pixel: red, green, blue and alpha.
    std::array<Channel, 4> channels;
    bool alpha = false;
    // Up to 8 bits a pixel: a colour for every index a byte holds, those past the file's
    // palette black.
    std::vector<Colour> palette;

    bool runLengths() const { return compression == RunLengths8 || compression == RunLengths4; }
};

bool readsKind(quint32 compression, int bits)
{
    switch (compression) {
    case Plain:
        return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    case RunLengths8: return bits == 8;
    case RunLengths4: return bits == 4;
    case BitFields:
    case AlphaBitFields: return bits == 16 || bits == 32;
    default: return false;
    }
}

// The headers, masks and palette of a BMP read here, else nothing: the one reading of them
// that both the header and the rows go by.
std::optional<Layout> readLayout(QIODevice& device)
{
    // The file header and the longest info header, which also covers the masks that follow
    // an info header of 40 bytes.
    const QByteArray head = device.seek(0) ? device.read(14 + 124) : QByteArray();
    if (head.size() < 18 || !head.startsWith("BM"))
        return std::nullopt;
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(head.constData() + at); };
    const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(head.constData() + at); };
    const auto i32 = [&](int at) { return qFromLittleEndian<qint32>(head.constData() + at); };
    const quint32 infoSize = u32(14);
    const bool os2 = infoSize == 12; // the old OS/2 header, its sizes of 16 bits
    if (!os2 && infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108
        && infoSize != 124)
        return std::nullopt;
    if (head.size() < 14 + qint64(infoSize))
        return std::nullopt;
    Layout layout;
    layout.compression = os2 ? Plain : u32(30);
    const bool fields = layout.compression == BitFields || layout.compression == AlphaBitFields;
    // The masks come right after the first 40 bytes: inside a longer header, or after one of
    // 40 bytes, where bit fields put three of them and alpha bit fields four.
    const int masks = infoSize > 40 ? std::min(int(infoSize - 40) / 4, 4)
        : fields                    ? (layout.compression == AlphaBitFields ? 4 : 3)
                                    : 0;
    const qint64 headersEnd = 14 + qint64(infoSize) + (infoSize == 40 ? 4 * masks : 0);
    if (head.size() < headersEnd)
        return std::nullopt;
    const qint64 width = os2 ? u16(18) : i32(18);
    const qint64 height = os2 ? u16(20) : i32(22);
    layout.bits = os2 ? u16(24) : u16(28);
    const quint32 coloursUsed = os2 ? 0 : u32(46);
    layout.pixelsAt = u32(10);
    if ((os2 ? u16(22) : u16(26)) != 1 || !readsKind(layout.compression, layout.bits) || width <= 0
        || height == 0 || qAbs(height) > INT_MAX || layout.pixelsAt < headersEnd
        || layout.pixelsAt > device.size())
        return std::nullopt;
    layout.size = QSize(int(width), int(qAbs(height)));
    layout.bottomUp = height > 0;
    layout.stride = (width * layout.bits + 31) / 32 * 4;
    // Uncompressed, the file must hold every row. A header may claim rows of 10^13 bytes:
    // divide, never multiply.
    if (!layout.runLengths() && qAbs(height) > (device.size() - layout.pixelsAt) / layout.stride)
        return std::nullopt;

    if (layout.bits == 16 || layout.bits == 32) {
        const auto mask = [&](int i) { return i < masks ? u32(54 + 4 * i) : 0u; };
        if (fields)
            layout.channels
                = { Channel(mask(0)), Channel(mask(1)), Channel(mask(2)), Channel(mask(3)) };
        else if (layout.bits == 16)
            layout.channels = { Channel(0x7C00), Channel(0x3E0), Channel(0x1F), Channel() };
        else // a longer header's alpha mask counts here too, as Qt reads it
            layout.channels
                = { Channel(0xFF0000), Channel(0xFF00), Channel(0xFF), Channel(mask(3)) };
        layout.alpha = !layout.channels[3].empty();
    }

    // The palette is what fits between the headers and the pixels, blue, green, red and (but
    // in the OS/2 header) a byte unused.
    if (layout.bits <= 8) {
        const int entry = os2 ? 3 : 4;
        qint64 count = std::min((layout.pixelsAt - headersEnd) / entry, qint64(1) << layout.bits);
        if (coloursUsed != 0)
            count = std::min(count, qint64(coloursUsed));
        const QByteArray entries
            = device.seek(headersEnd) ? device.read(count * entry) : QByteArray();
        if (entries.size() != count * entry)
            return std::nullopt;
        layout.palette.assign(256, Colour {});
        for (qint64 i = 0; i < count; ++i) {
            const auto* bytes = reinterpret_cast<const uchar*>(entries.constData()) + i * entry;
            layout.palette[std::size_t(i)] = { bytes[2], bytes[1], bytes[0], 0 };
        }
    }
    return layout;
}

// One index a byte from a row of 1 or 4 bits a pixel, the leftmost pixel in the high bits.
void unpack(int bits, const uchar* stored, int width, uchar* indexes)
{
    const int perByte = 8 / bits;
    const int mask = (1 << bits) - 1;
    for (int x = 0; x < width; ++x) {
        const int shift = 8 - bits * (x % perByte + 1);
        indexes[x] = uchar((stored[x / perByte] >> shift) & mask);
    }
}

// A row of indexes in colours. Each colour is stored as 4 bytes, the last of them covered by
// the next pixel's, so row holds a byte more than width pixels.
void expand(const std::vector<Colour>& palette, const uchar* indexes, int width, uchar* row)
{
    for (int x = 0; x < width; ++x)
        std::memcpy(row + std::size_t(x) * 3, palette[indexes[x]].data(), 4);
}

// One stored row as the reducer takes it: red, green, blue and, with alpha, alpha.
void convertRow(const Layout& layout, const uchar* stored, uchar* indexes, uchar* row)
{
    const int width = layout.size.width();
    if (layout.bits == 24) {
        for (int x = 0; x < width; ++x, stored += 3, row += 3) {
            row[0] = stored[2];
            row[1] = stored[1];
            row[2] = stored[0];
        }
    } else if (layout.bits >= 16) {
        const int channels = layout.alpha ? 4 : 3;
        const int step = layout.bits / 8;
        for (int x = 0; x < width; ++x, stored += step, row += channels) {
            const quint32 pixel = step == 2 ? qFromLittleEndian<quint16>(stored)
                                            : qFromLittleEndian<quint32>(stored);
            for (int c = 0; c < channels; ++c)
                row[c] = layout.channels[std::size_t(c)].of(pixel);
        }
    } else {
        if (layout.bits < 8)
            unpack(layout.bits, stored, width, indexes);
        expand(layout.palette, layout.bits < 8 ? indexes : stored, width, row);
    }
}

// Uncompressed rows, read a block at a time in the order the file holds them.
Outcome readPlain(QIODevice& device, const Layout& layout, qint64 blockRows, RowReducer& reducer,
    const Decoding::Request& request)
{
    const int width = layout.size.width();
    std::vector<char> block(std::size_t(blockRows * layout.stride));
    std::vector<uchar> indexes(static_cast<std::size_t>(width));
    std::vector<uchar> row(std::size_t(width) * 4 + 1);
    if (!device.seek(layout.pixelsAt))
        return Outcome::Damaged;
    for (int done = 0; done < layout.size.height();) {
        const int count = int(std::min(blockRows, qint64(layout.size.height() - done)));
        const qint64 bytes = count * layout.stride;
        if (device.read(block.data(), bytes) != bytes)
            return Outcome::Damaged;
        for (int i = 0; i < count; ++i, ++done) {
            if (request.cancelled())
                return Outcome::Cancelled;
            const auto* stored = reinterpret_cast<const uchar*>(block.data()) + i * layout.stride;
            convertRow(layout, stored, indexes.data(), row.data());
            reducer.addRow(row.data());
        }
    }
    return Outcome::Decoded;
}

// The bytes of a file one at a time, without a call to the device for each.
class Bytes {
public:
    explicit Bytes(QIODevice& device)
        : m_source(device)
    {
    }
    bool next(uchar& byte)
    {
        if (m_at == m_end) {
            const auto [data, size] = m_source.takeBlock();
            if (size == 0)
                return false;
            m_at = data;
            m_end = data + size;
        }
        byte = *m_at++;
        return true;
    }

private:
    BlockSource m_source;
    const uchar* m_at = nullptr;
    const uchar* m_end = nullptr;
};

// Rows of run lengths of 8 or 4 bits, decoded from the start of the data into a row of
// indexes. The pixels the data skips (by a move, the end of a line or of the picture) keep
// index 0, as in a picture of indexes made zero first. A row or a move past the edge is cut
// there; data ending before the last row is a file cut short.
Outcome readRunLengths(
    QIODevice& device, const Layout& layout, RowReducer& reducer, const Decoding::Request& request)
{
    const int width = layout.size.width();
    const int height = layout.size.height();
    const bool four = layout.compression == RunLengths4;
    std::vector<uchar> indexes(static_cast<std::size_t>(width));
    std::vector<uchar> row(std::size_t(width) * 3 + 1);
    int x = 0;
    int rowsDone = 0;
    const auto put = [&](uchar index) {
        if (x < width)
            indexes[std::size_t(x++)] = index;
    };
    // Ends the row being decoded and skips rows more: the rows the data never reaches cost
    // one a band.
    const auto endRow = [&](int skipped) {
        expand(layout.palette, indexes.data(), width, row.data());
        reducer.addRow(row.data());
        // x only grows along a row: the indexes set lie before it.
        std::fill_n(indexes.begin(), x, uchar(0));
        skipped = std::min(skipped, height - rowsDone - 1);
        if (skipped > 0) {
            expand(layout.palette, indexes.data(), width, row.data());
            reducer.addRows(row.data(), skipped, request.cancel);
        }
        rowsDone += 1 + skipped;
    };

    if (!device.seek(layout.pixelsAt))
        return Outcome::Damaged;
    Bytes bytes(device);
    while (rowsDone < height) {
        if (request.cancelled())
            return Outcome::Cancelled;
        uchar count = 0;
        uchar code = 0;
        if (!bytes.next(count) || !bytes.next(code)) {
            // Some writers end the last row without a code: the rest of it is skipped.
            if (rowsDone < height - 1)
                return Outcome::Damaged;
            endRow(0);
            break;
        }
        if (count > 0) { // count pixels of one index, or of two in turn
            const int end = std::min(width, x + count);
            if (four) {
                for (int i = 0; x < end; ++i)
                    put(i % 2 == 0 ? code >> 4 : code & 15);
            } else {
                std::fill(indexes.begin() + x, indexes.begin() + end, code);
                x = end;
            }
            continue;
        }
        switch (code) {
        case 0: // the end of a line
            endRow(0);
            x = 0;
            break;
        case 1: // the end of the picture
            endRow(height);
            break;
        case 2: { // a move right and on to later rows
            uchar right = 0;
            uchar on = 0;
            if (!bytes.next(right) || !bytes.next(on))
                return Outcome::Damaged;
            if (on > 0)
                endRow(on - 1);
            x = std::min(width, x + right);
            break;
        }
        default: { // code pixels as they stand, in bytes padded to an even count
            const int stored = four ? (code + 1) / 2 : code;
            for (int i = 0; i < stored + stored % 2; ++i) {
                uchar byte = 0;
                if (!bytes.next(byte))
                    return Outcome::Damaged;
                if (!four && i < code)
                    put(byte);
                if (four && 2 * i < code)
                    put(byte >> 4);
                if (four && 2 * i + 1 < code)
                    put(byte & 15);
            }
        }
        }
    }
    return Outcome::Decoded;
}

} // namespace

namespace BmpRows {

std::optional<Decoding::Header> readHeader(QIODevice& device)
{
    const std::optional<Layout> layout = readLayout(device);
    if (!layout)
        return std::nullopt;
    return Decoding::Header { layout->size };
}

Decoding::Result read(QIODevice& device, const Decoding::Request& request)
{
    using Decoding::Result;
    const std::optional<Layout> layout = readLayout(device);
    if (!layout || layout->size != request.storedSize
        || !RowReducer::canReduce(request.storedSize, request.target))
        return Result::failed(Outcome::Damaged);

    // The reducer, a row as it takes it, a row of indexes, and what the file is read in: a
    // block of rows, or the byte source.
    const qint64 width = layout->size.width();
    const qint64 blockRows
        = std::clamp(BlockSize / layout->stride, qint64 { 1 }, qint64(layout->size.height()));
    const qint64 reading
        = layout->runLengths() ? qint64(BlockSource::BlockSize) : blockRows * layout->stride;
    if (!Decoding::withinBudget(
            RowReducer::bytesFor(request.storedSize, request.target, layout->alpha) + width * 5 + 1
            + reading))
        return Result::failed(Outcome::OverBudget);

    RowReducer reducer(request.storedSize, request.target, layout->alpha,
        layout->bottomUp ? RowReducer::Order::RowsFromBottom : RowReducer::Order::Rows);
    const Outcome outcome = layout->runLengths()
        ? readRunLengths(device, *layout, reducer, request)
        : readPlain(device, *layout, blockRows, reducer, request);
    if (outcome != Outcome::Decoded)
        return Result::failed(outcome);
    return Result::decoded(reducer.takeResult());
}

} // namespace BmpRows
