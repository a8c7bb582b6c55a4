#pragma once

// The floor for JPEG: libjpeg-turbo alone decoding a file at the DCT scale that suits the
// size it will be shown at, with nothing else around it.

#include <string>

namespace jpegfloor {

// The DCT scale denominator (1, 2, 4 or 8) for showing a picture of a stored width and
// height at a target's: the largest that still decodes at least the target in both
// directions, as Qt's JPEG reader picks it.
int scaleDenominator(int storedWidth, int storedHeight, int targetWidth, int targetHeight);

// Decodes the file at path at 1/denominator of its size into 32-bit pixels (CMYK ones as
// they are stored). False on failure.
bool decode(const std::string& path, int denominator);

} // namespace jpegfloor
