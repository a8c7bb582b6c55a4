#pragma once

// File searches in one folder: the files (never folders) whose names match a pattern such
// as "*.jpg", compared without regard to case, in the order an NTFS volume lists them.

#include "system/System.h"

#include <string>
#include <vector>

namespace basFindFile {

// The five picture patterns, searched in this order for every folder.
const std::vector<std::string>& PicturePatterns();

// True when name matches pattern ("*" any run, "?" any one character), without regard to
// the case of ASCII letters.
bool MatchesPattern(const std::string& name, const std::string& pattern);

// The names of the files among entries that match pattern, in NTFS order: by upper-case
// form, then by the bytes of the name.
std::vector<std::string> MatchingFiles(
    const std::vector<sys::FolderEntry>& entries, const std::string& pattern);

// The files among entries in the five picture groups, one group per picture pattern in
// pattern order, each as MatchingFiles gives it, from one pass over the entries.
std::vector<std::vector<std::string>> PictureGroups(const std::vector<sys::FolderEntry>& entries);

// Appends to the picture list every file of folder whose name matches pattern.
void FindFiles(std::string folder, const std::string& pattern);

// Appends to the picture list the picture files of folder, group by group in pattern
// order, from one listing of the folder: what FindFiles does for each pattern in turn.
void FindPictureFiles(std::string folder);

} // namespace basFindFile
