#pragma once

// The floor for PNG: zlib alone inflating the picture's compressed data, with no filters
// undone and no pixels made. Every PNG decoder pays at least this.

#include <string>

namespace inflatefloor {

// Inflates every IDAT chunk of the PNG file at path into a small scratch buffer, thrown
// away. False when the file is not a PNG or its data does not inflate to the end.
bool inflate(const std::string& path);

} // namespace inflatefloor
