#pragma once

// An uncompressed BMP read straight to a reduced size: the rows are read from the file a
// block at a time, top row first whichever way the file stores them, and a RowReducer sums
// each into the picture shown. The whole picture is never held.

#include <QImage>
#include <QSize>
#include <optional>

class QIODevice;

namespace BmpRows {

// Reads the BMP of device reduced to targetSize. Nothing when this way cannot read it (run
// lengths, bit fields, 16 bits a pixel, the old OS/2 header, a size other than storedSize,
// a target larger than the picture): the caller reads it another way. A null image when the
// file ends before its pixels do. The device is left at no particular position.
std::optional<QImage> readReduced(QIODevice& device, QSize storedSize, QSize targetSize);

} // namespace BmpRows
