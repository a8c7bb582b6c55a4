#include "viewer/Moves.h"

namespace Moves {

std::int32_t nextIndex(std::int32_t direction, std::int32_t index, std::int32_t count, bool sorted,
    bool reverse, const std::function<std::int32_t()>& draw)
{
    switch (direction) {
    case First: index = 1; break;
    case Last: index = count; break;
    case Next: index = sorted ? index + (reverse ? -1 : 1) : draw(); break;
    case Previous: index = sorted ? index - 1 : draw(); break;
    default: break;
    }
    if (index > count)
        index = 1;
    if (index < 1)
        index = count;
    return index;
}

} // namespace Moves
