#pragma once

// A JPEG read with libjpeg-turbo directly: its size and EXIF orientation from the header, and
// its pixels decoded at the smallest DCT scale that still covers the size shown, then summed
// by a RowReducer. Qt's image plugins are never loaded for it.

#include "picture/Decoding.h"

#include <optional>

class QIODevice;

namespace JpegRows {

// The header of the JPEG on device. Nothing when libjpeg cannot read it.
std::optional<Decoding::Header> readHeader(QIODevice& device);

// Reads the JPEG from the start of device at request.target. A file that ends where only its
// end marker is missing is whole; one that ends in a scan, or before its last scan, is
// damaged, and so is any scan whose data stops short. The device is left at no particular
// position.
Decoding::Result read(QIODevice& device, const Decoding::Request& request);

} // namespace JpegRows
