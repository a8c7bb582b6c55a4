#pragma once

// The floor for JPEG: libjpeg-turbo alone decoding a file at the DCT scale that suits the
// size it will be shown at, with nothing else around it.

#include <QSize>
#include <string>

namespace jpegfloor {

// The DCT scale denominator (1, 2, 4 or 8) for showing a picture of storedSize at target:
// the largest that still decodes at least target in both directions, as Qt's JPEG reader
// picks it.
int scaleDenominator(QSize storedSize, QSize target);

// Decodes the file at path at 1/denominator of its size into 32-bit pixels and returns
// the size decoded; an empty size on failure.
QSize decode(const std::string& path, int denominator);

} // namespace jpegfloor
