#pragma once

// A PNG read with libpng directly: its size from the header, and its pixels, of every kind,
// made 8-bit RGB or RGBA by libpng and summed by a RowReducer one row at a time (an
// interlaced picture one row of a pass at a time). Only the chunks that make the pixels are
// read; every other is skipped unread. Qt's image plugins are never loaded for it.

#include "picture/Decoding.h"

#include <optional>

class QIODevice;

namespace PngRows {

// The header of the PNG on device. Nothing when libpng cannot read it and the chunks up to
// the pixels.
std::optional<Decoding::Header> readHeader(QIODevice& device);

// Reads the PNG from the start of device at request.target. The device is left at no
// particular position.
Decoding::Result read(QIODevice& device, const Decoding::Request& request);

} // namespace PngRows
