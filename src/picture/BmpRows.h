#pragma once

// A BMP read by Lumra itself, every kind Windows and OS/2 write: the old OS/2 header and the
// Windows ones of 40 to 124 bytes; 1, 4 and 8 bits a pixel through a palette, 16 and 32
// through bit masks, 24 as they stand; run lengths of 8 and 4 bits. The rows go straight
// into a RowReducer in the order the file holds them, so the whole picture is never held.

#include "picture/Decoding.h"

#include <optional>

class QIODevice;

namespace BmpRows {

// The size of the BMP on device, from its headers. Nothing when it is not a BMP this module
// reads, or when an uncompressed one is cut short of its rows.
std::optional<Decoding::Header> readHeader(QIODevice& device);

// The BMP on device reduced to request.target. Damaged when it cannot be read, also when a
// file of run lengths ends before its last row. The device is left at no particular position.
Decoding::Result read(QIODevice& device, const Decoding::Request& request);

} // namespace BmpRows
