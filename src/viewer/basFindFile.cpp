#include "viewer/basFindFile.h"

#include "viewer/basGeneral.h"

#include <QString>
#include <algorithm>

namespace basFindFile {

namespace {

char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool matchFrom(const std::string& name, std::size_t n, const std::string& pattern, std::size_t p)
{
    // Iterative wildcard match with one remembered star: linear in practice.
    std::size_t starP = std::string::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size()
            && (pattern[p] == '?' || asciiUpper(pattern[p]) == asciiUpper(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

const std::vector<std::string>& PicturePatterns()
{
    static const std::vector<std::string> patterns { "*.bmp", "*.gif", "*.jpg", "*.jpeg", "*.png" };
    return patterns;
}

bool MatchesPattern(const std::string& name, const std::string& pattern)
{
    return matchFrom(name, 0, pattern, 0);
}

std::vector<std::string> MatchingFiles(
    const std::vector<sys::FolderEntry>& entries, const std::string& pattern)
{
    struct Keyed {
        QString key;
        const std::string* name;
    };
    std::vector<Keyed> found;
    for (const sys::FolderEntry& entry : entries) {
        if (!entry.directory && MatchesPattern(entry.name, pattern))
            found.push_back({ QString::fromUtf8(entry.name).toUpper(), &entry.name });
    }
    std::sort(found.begin(), found.end(), [](const Keyed& a, const Keyed& b) {
        const int order = QString::compare(a.key, b.key, Qt::CaseSensitive);
        return order != 0 ? order < 0 : *a.name < *b.name;
    });
    std::vector<std::string> names;
    names.reserve(found.size());
    for (const Keyed& entry : found)
        names.push_back(*entry.name);
    return names;
}

void FindFiles(std::string folder, const std::string& pattern)
{
    if (folder.empty() || folder.back() != basGeneral::Separator().back())
        folder += basGeneral::Separator();
    for (const std::string& name : MatchingFiles(sys::listFolder(folder), pattern))
        basGeneral::AddFile(folder + name);
}

} // namespace basFindFile
