#pragma once

// A GIF read with giflib and Lumra's own LZW decoder: the logical screen is the picture, and
// its first frame is laid on it at its place, one line at a time, into a RowReducer. Rows of
// the screen outside the frame cost one row a band; only an interlaced frame is held, as one
// byte a pixel of the part that shows. Qt's image plugins are never loaded for it.

#include "picture/Decoding.h"

#include <optional>

class QIODevice;

namespace GifRows {

// The size of the logical screen of the GIF on device, whatever size its frames have.
// Nothing when the file ends before the screen is described.
std::optional<Decoding::Header> readHeader(QIODevice& device);

// Reads the GIF from the start of device at request.target. The device is left at no
// particular position.
Decoding::Result read(QIODevice& device, const Decoding::Request& request);

} // namespace GifRows
