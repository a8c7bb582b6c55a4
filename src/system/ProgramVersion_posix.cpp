#include "system/ProgramVersion.h"

namespace sys {

// An ELF program keeps no version of its own: the version built in is the one.
std::optional<std::string> recordedVersion() { return std::nullopt; }

} // namespace sys
