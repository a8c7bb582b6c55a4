#pragma once

// The command line as one text, the way the system hands it to a program, and the folder
// (or file) arguments read from it.

#include <functional>
#include <string>
#include <vector>

namespace CommandLine {

// The arguments joined as the system would pass them on one line: an argument holding a
// space or a tab in double quotes, one space between arguments.
std::string text(const std::vector<std::string>& arguments);

// The names of existing files and folders on the command line, in order. Spaces, tabs,
// commas and semicolons separate them; a name with spaces is quoted, or is the whole line.
// Every item that names nothing is passed to invalid.
std::vector<std::string> arguments(
    const std::string& commandLine, const std::function<void(const std::string&)>& invalid);

} // namespace CommandLine
