#pragma once

// File searches in one folder: the picture files (never folders), whose names match one of
// the picture patterns such as "*.jpg", compared without regard to case, in the order an
// NTFS volume lists them.

#include "system/System.h"

#include <string>
#include <string_view>
#include <vector>

namespace basFindFile {

// True when name matches one of the picture patterns.
bool IsPictureName(std::string_view name);

// The names of the picture files among entries as the picture list takes them: group by
// group in pattern order, each group in NTFS order (by upper-case form, then by the bytes
// of the name).
std::vector<std::string> PictureNames(std::vector<sys::FolderEntry> entries);

// Appends to the picture list the picture files of folder, from one listing of the folder.
void FindPictureFiles(std::string folder);

} // namespace basFindFile
