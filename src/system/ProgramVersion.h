#pragma once

// The program's version, "major.minor", as the About box and --version give it.

#include <optional>
#include <string>

namespace sys {

// major.minor as the running program's own file records it: a Windows program's version
// information, which Explorer shows too. Nothing where the file records none (a POSIX
// program) or it cannot be read.
std::optional<std::string> recordedVersion();

// The recorded version, or else the version the program was built as. Both come from the
// one number in CMakeLists.txt.
inline std::string programVersion()
{
    return recordedVersion().value_or(
        std::to_string(LUMRA_VERSION_MAJOR) + '.' + std::to_string(LUMRA_VERSION_MINOR));
}

} // namespace sys
