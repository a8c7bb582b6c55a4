#pragma once

// The first frame of a GIF read straight to a reduced size: giflib decodes it one line at a
// time, the line is laid on the logical screen as Qt lays it, and a RowReducer sums it into
// the picture shown. Only an interlaced frame is held, as one byte a pixel.

#include <QImage>
#include <QSize>
#include <optional>

class QIODevice;

namespace GifRows {

// Reads the GIF of device reduced to targetSize. Nothing when this way cannot read it (no
// global colour table, a first frame beyond the screen, a damaged picture whose file does
// not end early, a target larger than the picture): the caller reads it another way. A
// null image when the file ends before the first frame does. The device is left at no
// particular position.
std::optional<QImage> readReduced(QIODevice& device, QSize storedSize, QSize targetSize);

} // namespace GifRows
