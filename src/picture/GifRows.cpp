#include "picture/GifRows.h"

#include "picture/BlockSource.h"
#include "picture/GifLzw.h"
#include "picture/RowReducer.h"

#include <QIODevice>
#include <algorithm>
#include <gif_lib.h>
#include <memory>
#include <vector>

namespace {

int readSource(GifFileType* gif, GifByteType* data, int length)
{
    return int(static_cast<BlockSource*>(gif->UserData)->take(data, std::size_t(length)));
}

struct CloseGif {
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};

// The colours of the first frame as the reducer takes them: red, green, blue and, when the
// frame has a transparent index, alpha. An index past the end of the table is black.
class Palette {
public:
    Palette(const ColorMapObject& map, int transparent)
        : m_alpha(transparent >= 0)
    {
        const int channels = m_alpha ? 4 : 3;
        m_colours.assign(256 * std::size_t(channels), 0);
        for (int i = 0; i < 256; ++i) {
            uchar* colour = &m_colours[std::size_t(i) * channels];
            if (i < map.ColorCount)
                colour[0] = map.Colors[i].Red, colour[1] = map.Colors[i].Green,
                colour[2] = map.Colors[i].Blue;
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

} // namespace

namespace GifRows {

std::optional<QImage> readReduced(QIODevice& device, QSize storedSize, QSize targetSize)
{
    if (!RowReducer::canReduce(storedSize, targetSize) || !device.seek(0))
        return std::nullopt;
    BlockSource source(device);
    std::unique_ptr<GifFileType, CloseGif> gif(DGifOpen(&source, readSource, nullptr));
    if (!gif)
        return source.ranOut() ? std::optional(QImage()) : std::nullopt;
    int transparent = -1;
    const bool framed = readToFirstFrame(gif.get(), transparent);
    const ColorMapObject* screenMap = gif->SColorMap;
    const GifImageDesc& frame = gif->Image;
    if (!framed || !screenMap || gif->SBackGroundColor >= screenMap->ColorCount
        || QSize(gif->SWidth, gif->SHeight) != storedSize || frame.Left < 0 || frame.Top < 0
        || frame.Width <= 0 || frame.Height <= 0 || frame.Left + frame.Width > gif->SWidth
        || frame.Top + frame.Height > gif->SHeight)
        return source.ranOut() ? std::optional(QImage()) : std::nullopt;

    // Around the frame the screen shows its background colour, or nothing when the frame
    // has a transparent index.
    const Palette palette(frame.ColorMap ? *frame.ColorMap : *screenMap, transparent);
    const int channels = palette.channels();
    const GifColorType& screen = screenMap->Colors[gif->SBackGroundColor];
    std::vector<uchar> background(std::size_t(storedSize.width()) * channels, 0);
    if (!palette.alpha())
        for (std::size_t at = 0; at < background.size(); at += 3)
            background[at] = screen.Red, background[at + 1] = screen.Green,
            background[at + 2] = screen.Blue;

    // The frame's rows come from its coded data. An interlaced frame comes as every eighth
    // line, then the fourth ones between, then the second ones, then the rest: it is held
    // whole, one byte a pixel, before it is laid out.
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif.get(), &codeSize, &block) != GIF_OK)
        return source.ranOut() ? std::optional(QImage()) : std::nullopt;
    GifLzw lzw(codeSize, frame.Width, frame.Height);
    if (!lzw.valid())
        return std::nullopt;
    std::vector<int> interlacedRows;
    if (frame.Interlace)
        for (const auto& [start, step] : { std::pair { 0, 8 }, { 4, 8 }, { 2, 4 }, { 1, 2 } })
            for (int y = start; y < frame.Height; y += step)
                interlacedRows.push_back(y);
    std::vector<GifPixelType> indexes(
        frame.Interlace ? std::size_t(frame.Width) * frame.Height : 0);

    RowReducer reducer(storedSize, targetSize, palette.alpha());
    std::vector<uchar> row = background;
    int y = 0; // the next row of the screen
    auto layRow = [&](const GifPixelType* line) {
        for (; y < frame.Top; ++y)
            reducer.addRow(background.data());
        palette.expand(line, frame.Width, &row[std::size_t(frame.Left) * channels]);
        reducer.addRow(row.data());
        ++y;
    };
    const GifLzw::RowSink sink = [&](const GifPixelType* line) {
        if (frame.Interlace)
            std::copy_n(line, frame.Width,
                &indexes[std::size_t(interlacedRows[std::size_t(lzw.rowsDone())]) * frame.Width]);
        else
            layRow(line);
    };
    while (block && !lzw.finished()) {
        if (!lzw.decode(block + 1, block[0], sink))
            return std::nullopt;
        if (!lzw.finished() && DGifGetCodeNext(gif.get(), &block) != GIF_OK)
            return source.ranOut() ? std::optional(QImage()) : std::nullopt;
    }
    if (lzw.rowsDone() < frame.Height)
        return source.ranOut() ? std::optional(QImage()) : std::nullopt;
    if (frame.Interlace)
        for (int frameY = 0; frameY < frame.Height; ++frameY)
            layRow(&indexes[std::size_t(frameY) * frame.Width]);
    for (; y < storedSize.height(); ++y)
        reducer.addRow(background.data());
    return reducer.takeResult();
}

} // namespace GifRows
