#include "picture/GifRows.h"

#include "picture/BlockSource.h"
#include "picture/GifLzw.h"
#include "picture/RowReducer.h"

#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <gif_lib.h>
#include <memory>
#include <vector>

namespace {

using Decoding::Outcome;
using Decoding::Result;

// What a decode takes whatever the file claims: giflib's own state and colour tables, the
// block read from the file and the palette.
constexpr qint64 FixedBytes = qint64(BlockSource::BlockSize) + (qint64 { 64 } << 10);

int readSource(GifFileType* gif, GifByteType* data, int length)
{
    return int(static_cast<BlockSource*>(gif->UserData)->take(data, std::size_t(length)));
}

struct CloseGif {
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};

// The colours of the first frame as the reducer takes them: red, green, blue and, when the
// frame has a transparent index, alpha. An index past the end of the table is black, and so
// is every index of a frame without a table: there is no colour to show for it.
class Palette {
public:
    Palette(const ColorMapObject* map, int transparent)
        : m_alpha(transparent >= 0)
    {
        const int channels = m_alpha ? 4 : 3;
        const int count = map ? map->ColorCount : 0;
        m_colours.assign(256 * std::size_t(channels), 0);
        for (int i = 0; i < 256; ++i) {
            uchar* colour = &m_colours[std::size_t(i) * channels];
            if (i < count)
                colour[0] = map->Colors[i].Red, colour[1] = map->Colors[i].Green,
                colour[2] = map->Colors[i].Blue;
            if (m_alpha)
                colour[3] = i == transparent ? 0 : 255;
        }
    }
    bool alpha() const { return m_alpha; }
    int channels() const { return m_alpha ? 4 : 3; }

    // Lays a line of indexes out as colours.
    void expand(const GifPixelType* line, int length, uchar* out) const
    {
        if (m_alpha)
            expand<4>(line, length, out);
        else
            expand<3>(line, length, out);
    }

private:
    template <int Channels> void expand(const GifPixelType* line, int length, uchar* out) const
    {
        const uchar* colours = m_colours.data();
        for (int x = 0; x < length; ++x, out += Channels) {
            const uchar* colour = colours + std::size_t(line[x]) * Channels;
            for (int channel = 0; channel < Channels; ++channel)
                out[channel] = colour[channel];
        }
    }

    bool m_alpha;
    std::vector<uchar> m_colours;
};

// The extensions before the first frame, for its transparent index (-1: none); then the
// frame's description. False when there is no frame or giflib fails.
bool readToFirstFrame(GifFileType* gif, int& transparent)
{
    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(gif, &record) != GIF_OK)
            return false;
        if (record == IMAGE_DESC_RECORD_TYPE)
            return DGifGetImageDesc(gif) == GIF_OK;
        if (record != EXTENSION_RECORD_TYPE)
            return false;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) != GIF_OK)
            return false;
        GraphicsControlBlock control;
        if (code == GRAPHICS_EXT_FUNC_CODE && block
            && DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
            transparent = control.TransparentColor;
        while (block)
            if (DGifGetExtensionNext(gif, &block) != GIF_OK)
                return false;
    }
}

// The row of the frame that an interlaced frame sends n-th: every eighth row from the
// first, then every eighth from the fifth, every fourth from the third and every second from
// the second.
int interlacedRow(int n, int height)
{
    for (const auto& [start, step] : { std::pair { 0, 8 }, { 4, 8 }, { 2, 4 }, { 1, 2 } }) {
        const int count = std::max(0, (height - start + step - 1) / step);
        if (n < count)
            return start + n * step;
        n -= count;
    }
    return height;
}

} // namespace

namespace GifRows {

std::optional<Decoding::Header> readHeader(QIODevice& device)
{
    // The signature, then the logical screen's width and height.
    const QByteArray head = device.seek(0) ? device.read(13) : QByteArray();
    if (head.size() < 13)
        return std::nullopt;
    return Decoding::Header { QSize(qFromLittleEndian<quint16>(head.constData() + 6),
        qFromLittleEndian<quint16>(head.constData() + 8)) };
}

Result read(QIODevice& device, const Decoding::Request& request)
{
    const QSize screen = request.storedSize;
    if (!RowReducer::canReduce(screen, request.target) || !device.seek(0))
        return Result::failed(Outcome::Damaged);
    BlockSource source(device);
    std::unique_ptr<GifFileType, CloseGif> gif(DGifOpen(&source, readSource, nullptr));
    int transparent = -1;
    if (!gif || QSize(gif->SWidth, gif->SHeight) != screen
        || !readToFirstFrame(gif.get(), transparent))
        return Result::failed(Outcome::Damaged);

    // The part of the frame on the screen: a frame reaching past the screen is cut to it.
    const GifImageDesc& frame = gif->Image;
    const int left = std::min(frame.Left, screen.width());
    const int width = std::min(frame.Left + frame.Width, screen.width()) - left;
    const int top = std::min(frame.Top, screen.height());
    const int height = std::min(frame.Top + frame.Height, screen.height()) - top;
    const Palette palette(frame.ColorMap ? frame.ColorMap : gif->SColorMap, transparent);
    const int channels = palette.channels();
    const std::size_t rowBytes = std::size_t(screen.width()) * channels;
    const qint64 held = frame.Interlace ? qint64(width) * height : 0;
    if (!Decoding::withinBudget(RowReducer::bytesFor(screen, request.target, palette.alpha())
            + 2 * qint64(rowBytes) + held + GifLzw::bytesFor(frame.Width) + FixedBytes))
        return Result::failed(Outcome::OverBudget);

    // Around the frame the screen shows the background colour of the global table, black
    // without one, or nothing when the frame has a transparent index.
    std::vector<uchar> background(rowBytes, 0);
    const ColorMapObject* global = gif->SColorMap;
    if (!palette.alpha() && global && gif->SBackGroundColor < global->ColorCount) {
        const GifColorType& colour = global->Colors[gif->SBackGroundColor];
        for (std::size_t at = 0; at < rowBytes; at += 3)
            background[at] = colour.Red, background[at + 1] = colour.Green,
            background[at + 2] = colour.Blue;
    }
    std::vector<uchar> row = background;
    std::vector<GifPixelType> interlaced(static_cast<std::size_t>(held));
    RowReducer reducer(screen, request.target, palette.alpha());
    // Frame row y onto the screen, after the rows of background above it.
    const auto layRow = [&](int y, const GifPixelType* line) {
        reducer.addRows(background.data(), top + y - reducer.rowsAdded(), request.cancel);
        palette.expand(line, width, row.data() + std::size_t(left) * channels);
        reducer.addRow(row.data());
    };

    // An empty frame leaves the screen its background, as one beside the screen does.
    if (frame.Width > 0 && frame.Height > 0) {
        int codeSize = 0;
        GifByteType* block = nullptr;
        if (DGifGetCode(gif.get(), &codeSize, &block) != GIF_OK)
            return Result::failed(Outcome::Damaged);
        GifLzw lzw(codeSize, frame.Width, frame.Height);
        bool cancelled = false;
        const GifLzw::RowSink sink = [&](const GifPixelType* line) {
            const int y
                = frame.Interlace ? interlacedRow(lzw.rowsDone(), frame.Height) : lzw.rowsDone();
            if (y >= height || cancelled || (cancelled = request.cancelled()))
                return;
            if (frame.Interlace)
                std::copy_n(line, width, interlaced.data() + std::size_t(y) * width);
            else
                layRow(y, line);
        };
        // Data that a decoder could only guess the rest of, or that ends before the last
        // row, is damaged: the picture would be partly made up.
        while (block && !lzw.finished() && !cancelled) {
            if (!lzw.decode(block + 1, block[0], sink))
                return Result::failed(Outcome::Damaged);
            if (!lzw.finished() && DGifGetCodeNext(gif.get(), &block) != GIF_OK)
                return Result::failed(Outcome::Damaged);
            cancelled = cancelled || request.cancelled();
        }
        if (cancelled)
            return Result::failed(Outcome::Cancelled);
        if (!lzw.valid() || lzw.rowsDone() < frame.Height)
            return Result::failed(Outcome::Damaged);
        for (int y = 0; y < height && frame.Interlace; ++y) {
            if (request.cancelled())
                return Result::failed(Outcome::Cancelled);
            layRow(y, interlaced.data() + std::size_t(y) * width);
        }
    }
    reducer.addRows(background.data(), screen.height() - reducer.rowsAdded(), request.cancel);
    return Result::decoded(reducer.takeResult());
}

} // namespace GifRows
