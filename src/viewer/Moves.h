#pragma once

// Where a move through the picture list lands, as arithmetic alone: no files, no window.

#include <cstdint>
#include <functional>

namespace Moves {

// The direction codes of the move commands.
enum Direction : std::int32_t { First = 0, Previous = -1, Next = 1, Last = 2 };

// The entry a move lands on in a list of count entries numbered from 1, from the entry
// index (0: none yet). In sorted order Next steps forward (back when reverse) and Previous
// back; unsorted, both take draw(), a random entry. Stepping off either end wraps around;
// an unknown direction stays.
std::int32_t nextIndex(std::int32_t direction, std::int32_t index, std::int32_t count, bool sorted,
    bool reverse, const std::function<std::int32_t()>& draw);

} // namespace Moves
