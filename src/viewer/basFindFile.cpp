#include "viewer/basFindFile.h"

#include "viewer/basGeneral.h"

#include <QString>
#include <algorithm>
#include <string_view>

namespace basFindFile {

using basGeneral::asciiUpper;

namespace {

// The five picture patterns, searched in this order for every folder.
const std::vector<std::string>& PicturePatterns()
{
    static const std::vector<std::string> patterns { "*.bmp", "*.gif", "*.jpg", "*.jpeg", "*.png" };
    return patterns;
}

// Tells whether names match one pattern of the form "*.ext", as every picture pattern is:
// the names that end in the rest of the pattern, ignoring case.
class Matcher {
public:
    explicit Matcher(const std::string& pattern)
    {
        for (std::size_t k = 1; k < pattern.size(); ++k)
            m_upperSuffix += asciiUpper(pattern[k]);
    }

    bool operator()(std::string_view name) const
    {
        const std::size_t size = m_upperSuffix.size();
        if (name.size() < size)
            return false;
        const char* tail = name.data() + (name.size() - size);
        for (std::size_t k = 0; k < size; ++k)
            if (asciiUpper(tail[k]) != m_upperSuffix[k])
                return false;
        return true;
    }

private:
    std::string m_upperSuffix;
};

const std::vector<Matcher>& pictureMatchers()
{
    static const std::vector<Matcher> matchers(PicturePatterns().begin(), PicturePatterns().end());
    return matchers;
}

bool isAscii(const std::string& name)
{
    return std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; });
}

// Puts names in NTFS order. For ASCII, UTF-16 code units and bytes order alike, so the
// upper-case forms are compared as bytes; names with other characters than ASCII take the
// upper-case forms Qt gives them, compared as UTF-16.
void sortNtfs(std::vector<std::string*>& names)
{
    if (std::all_of(
            names.begin(), names.end(), [](const std::string* name) { return isAscii(*name); })) {
        basGeneral::sortByBytes(names, true);
        return;
    }
    struct Keyed {
        QString key;
        std::string* name;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(names.size());
    for (std::string* name : names)
        keyed.push_back({ QString::fromUtf8(*name).toUpper(), name });
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        const int order = QString::compare(a.key, b.key, Qt::CaseSensitive);
        return order != 0 ? order < 0 : *a.name < *b.name;
    });
    for (std::size_t k = 0; k < keyed.size(); ++k)
        names[k] = keyed[k].name;
}

} // namespace

std::vector<std::string> PictureNames(std::vector<sys::FolderEntry> entries)
{
    const std::vector<Matcher>& matchers = pictureMatchers();
    std::vector<std::vector<std::string*>> groups(matchers.size());
    for (sys::FolderEntry& entry : entries) {
        if (!entry.regularFile)
            continue;
        // No name ends in two of the patterns, so each is taken once and may be moved out.
        const auto found = std::find_if(matchers.begin(), matchers.end(),
            [&](const Matcher& matches) { return matches(entry.name); });
        if (found != matchers.end())
            groups[static_cast<std::size_t>(found - matchers.begin())].push_back(&entry.name);
    }
    std::vector<std::string> names;
    for (std::vector<std::string*>& group : groups) {
        sortNtfs(group);
        for (std::string* name : group)
            names.push_back(std::move(*name));
    }
    return names;
}

bool IsPictureName(std::string_view name)
{
    const std::vector<Matcher>& matchers = pictureMatchers();
    return std::any_of(
        matchers.begin(), matchers.end(), [&](const Matcher& matches) { return matches(name); });
}

void FindPictureFiles(std::string folder)
{
    folder = sys::withTrailingSeparator(std::move(folder));
    // Only names of pictures are kept from the listing: in a big folder of mixed files the
    // others are many, and nothing is asked about them.
    const std::vector<std::string> names = PictureNames(sys::listFolder(folder, IsPictureName));
    basGeneral::PicturePaths.reserve(
        static_cast<std::size_t>(basGeneral::PictureCount()) + names.size());
    for (const std::string& name : names)
        basGeneral::AddFile(folder + name);
}

} // namespace basFindFile
