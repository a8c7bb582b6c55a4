#pragma once

// A PNG read straight to a reduced size: libpng decodes it one row at a time into a single
// row buffer, and a RowReducer sums each row into the picture shown. Neither the whole
// picture nor a scaled copy of every row is ever made.

#include <QImage>
#include <QSize>
#include <optional>

class QIODevice;

namespace PngRows {

// Reads the PNG from the start of device, reduced to targetSize. Nothing when this way
// cannot read it (an interlaced picture, a size other than storedSize, a target larger than
// the picture): the caller reads it another way. A null image when the picture cannot be
// decoded: damaged, or cut short. The device is left at no particular position.
std::optional<QImage> readReduced(QIODevice& device, QSize storedSize, QSize targetSize);

} // namespace PngRows
