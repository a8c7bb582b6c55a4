#pragma once

// A JPEG read with libjpeg-turbo directly: its size and EXIF orientation from the header, and
// its pixels decoded at the smallest DCT scale that still covers the size shown, then summed
// by a RowReducer. Qt's image plugins are never loaded for it.

#include "picture/Decoding.h"

#include <QImage>
#include <QImageIOHandler>
#include <QSize>
#include <optional>

class QIODevice;

namespace JpegRows {

using Header = Decoding::Header;

// The header of the JPEG on device. Nothing when libjpeg cannot read it.
std::optional<Header> readHeader(QIODevice& device);

// Reads the JPEG from the start of device reduced to targetSize, both as stored (before
// orientation). Nothing when this way cannot read it (a CMYK picture, a size other than
// storedSize, a target larger than the picture, damaged data): the caller reads it another
// way. A null image when the file is cut short. The device is left at no particular position.
std::optional<QImage> readReduced(QIODevice& device, QSize storedSize, QSize targetSize);

} // namespace JpegRows
