#pragma once

// File searches in one folder: the picture files (never folders), whose names match one of
// the picture patterns such as "*.jpg", compared without regard to case, in the order an
// NTFS volume lists them.

#include "system/System.h"

#include <string>
#include <vector>

namespace basFindFile {

// The five picture patterns, searched in this order for every folder.
const std::vector<std::string>& PicturePatterns();

// True when name matches pattern ("*" any run, "?" any one character), without regard to
// the case of ASCII letters.
bool MatchesPattern(const std::string& name, const std::string& pattern);

// The names of the picture files among entries as the picture list takes them: group by
// group in pattern order, each group in NTFS order (by upper-case form, then by the bytes
// of the name).
std::vector<std::string> PictureNames(std::vector<sys::FolderEntry> entries);

// Appends to the picture list the picture files of folder, from one listing of the folder.
void FindPictureFiles(std::string folder);

} // namespace basFindFile
