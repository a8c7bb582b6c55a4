#include "picture/BmpRows.h"

#include "picture/RowReducer.h"

#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <vector>

namespace {

// What the rows are read in: big enough that a read costs little next to its bytes.
constexpr qint64 BlockSize = qint64 { 256 } * 1024;

using Colour = std::array<uchar, 3>; // red, green, blue

struct Layout {
    int bits = 0; // a pixel's: 1, 4, 8, 24 or 32
    bool bottomUp = true;
    qint64 firstRow = 0; // where the pixels start in the file
    qint64 stride = 0; // a stored row's bytes, padded to a multiple of 4
    std::vector<Colour> palette;
};

// The headers of a kind read here, else nothing. Headers that Qt would refuse are left to
// it as well, so that what cannot be decoded stays undecodable.
std::optional<Layout> readLayout(QIODevice& device, QSize storedSize)
{
    const QByteArray header = device.read(54);
    if (header.size() < 54 || !header.startsWith("BM"))
        return std::nullopt;
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(header.constData() + at); };
    const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(header.constData() + at); };
    const quint32 infoSize = u32(14);
    const qint64 width = qFromLittleEndian<qint32>(header.constData() + 18);
    const qint64 height = qFromLittleEndian<qint32>(header.constData() + 22);
    Layout layout;
    layout.bits = u16(28);
    const quint32 compression = u32(30);
    const quint32 coloursUsed = u32(46);
    if ((infoSize != 40 && infoSize != 108 && infoSize != 124) || u16(26) != 1 || compression != 0
        || width != storedSize.width() || qAbs(height) != storedSize.height())
        return std::nullopt;
    switch (layout.bits) {
    case 1:
    case 4:
    case 8:
        if (coloursUsed > (1u << layout.bits))
            return std::nullopt;
        layout.palette.resize(coloursUsed != 0 ? coloursUsed : 1u << layout.bits);
        break;
    case 24:
    case 32: break;
    default: return std::nullopt;
    }
    layout.bottomUp = height > 0;
    layout.stride = (width * layout.bits + 31) / 32 * 4;

    // The palette follows the headers, blue, green, red and a byte unused; the pixels come
    // where the file header says, but never before the palette's end.
    const qint64 paletteStart = 14 + qint64(infoSize);
    const QByteArray entries
        = device.seek(paletteStart) ? device.read(qint64(layout.palette.size()) * 4) : QByteArray();
    if (entries.size() != qint64(layout.palette.size()) * 4)
        return std::nullopt;
    for (std::size_t i = 0; i < layout.palette.size(); ++i) {
        const auto* entry = reinterpret_cast<const uchar*>(entries.constData()) + i * 4;
        layout.palette[i] = { entry[2], entry[1], entry[0] };
    }
    layout.firstRow = std::max(qint64(u32(10)), paletteStart + entries.size());
    return layout;
}

// One stored row as the reducer takes it: red, green, blue. An index past the end of the
// palette takes its last colour, as Qt's conversion of the whole picture does.
void convertRow(const Layout& layout, const uchar* stored, int width, uchar* row)
{
    if (layout.bits >= 24) {
        const int step = layout.bits / 8;
        for (int x = 0; x < width; ++x, stored += step, row += 3) {
            row[0] = stored[2];
            row[1] = stored[1];
            row[2] = stored[0];
        }
        return;
    }
    const int perByte = 8 / layout.bits;
    const int mask = (1 << layout.bits) - 1;
    const std::size_t last = layout.palette.size() - 1;
    for (int x = 0; x < width; ++x, row += 3) {
        const int shift = 8 - layout.bits * (x % perByte + 1);
        const std::size_t index = (stored[x / perByte] >> shift) & mask;
        std::copy_n(layout.palette[std::min(index, last)].begin(), 3, row);
    }
}

} // namespace

namespace BmpRows {

std::optional<QImage> readReduced(QIODevice& device, QSize storedSize, QSize targetSize)
{
    if (!RowReducer::canReduce(storedSize, targetSize) || !device.seek(0))
        return std::nullopt;
    const std::optional<Layout> layout = readLayout(device, storedSize);
    if (!layout)
        return std::nullopt;

    const int height = storedSize.height();
    const qint64 rowsPerBlock
        = std::clamp(BlockSize / layout->stride, qint64 { 1 }, qint64(height));
    std::vector<char> block(std::size_t(rowsPerBlock * layout->stride));
    std::vector<uchar> row(std::size_t(storedSize.width()) * 3);
    RowReducer reducer(storedSize, targetSize, false);
    for (int top = 0; top < height; top += int(rowsPerBlock)) {
        // The rows top to top + count - 1 as shown; bottom up, the file holds them reversed.
        const int count = int(std::min(rowsPerBlock, qint64(height - top)));
        const qint64 first = layout->bottomUp ? height - top - count : top;
        const qint64 bytes = count * layout->stride;
        if (!device.seek(layout->firstRow + first * layout->stride)
            || device.read(block.data(), bytes) != bytes)
            return QImage();
        for (int i = 0; i < count; ++i) {
            const qint64 at = layout->bottomUp ? count - 1 - i : i;
            convertRow(*layout, reinterpret_cast<const uchar*>(block.data()) + at * layout->stride,
                storedSize.width(), row.data());
            reducer.addRow(row.data());
        }
    }
    return reducer.takeResult();
}

} // namespace BmpRows
