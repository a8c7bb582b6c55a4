#pragma once

// What "lumra --help" and "lumra --version" print. The help is the text of Usage.txt, from
// which the build also makes the manual page's synopsis, description and options.

#include <optional>
#include <string>
#include <vector>

// The text to print and exit with, when the command line asks for help or the version
// and names no existing file or folder of that name; otherwise nothing.
std::optional<std::string> usageReply(const std::vector<std::string>& arguments);
