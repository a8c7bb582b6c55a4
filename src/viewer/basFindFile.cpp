#include "viewer/basFindFile.h"

#include "viewer/basGeneral.h"

#include <QString>
#include <algorithm>
#include <cstdint>
#include <string_view>

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

namespace {

// Tells whether names match one pattern. A pattern of the form "*.ext" (a star, then no
// more wildcards), which is what every picture pattern is, matches exactly the names that
// end in the rest of the pattern, ignoring case: one look at the ending does the work of
// the general match.
class Matcher {
public:
    explicit Matcher(const std::string& pattern)
        : m_pattern(pattern)
        , m_suffixOnly(pattern.size() > 1 && pattern[0] == '*'
              && pattern.find_first_of("*?", 1) == std::string::npos)
    {
        if (m_suffixOnly)
            for (std::size_t k = 1; k < pattern.size(); ++k)
                m_upperSuffix += asciiUpper(pattern[k]);
    }

    bool operator()(std::string_view name) const
    {
        if (!m_suffixOnly)
            return MatchesPattern(std::string(name), m_pattern);
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
    const std::string& m_pattern;
    bool m_suffixOnly;
    std::string m_upperSuffix;
};

bool isAscii(const std::string& name)
{
    return std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; });
}

// Puts names in NTFS order. Names with other characters than ASCII take the upper-case
// forms Qt gives them, compared as UTF-16.
void sortNtfs(std::vector<const std::string*>& names)
{
    if (std::all_of(
            names.begin(), names.end(), [](const std::string* name) { return isAscii(*name); })) {
        // For ASCII, UTF-16 code units and bytes order alike, so the upper-case forms are
        // made once, side by side in one buffer, and compared as bytes; their first eight
        // bytes, read as one number, settle most comparisons alone.
        std::size_t total = 0;
        for (const std::string* name : names)
            total += name->size();
        std::string upper(total, '\0');
        struct Span {
            std::uint64_t head;
            std::size_t at;
            std::size_t size;
            const std::string* name;
        };
        std::vector<Span> spans;
        spans.reserve(names.size());
        std::size_t at = 0;
        for (const std::string* name : names) {
            Span span { 0, at, name->size(), name };
            char* out = upper.data() + at;
            for (std::size_t k = 0; k < name->size(); ++k)
                out[k] = asciiUpper((*name)[k]);
            for (std::size_t k = 0; k < 8; ++k) {
                const unsigned char c = k < name->size() ? static_cast<unsigned char>(out[k]) : 0;
                span.head = span.head << 8 | c;
            }
            at += name->size();
            spans.push_back(span);
        }
        const char* all = upper.data();
        std::sort(spans.begin(), spans.end(), [all](const Span& a, const Span& b) {
            if (a.head != b.head)
                return a.head < b.head;
            const int order = std::string_view(all + a.at, a.size)
                                  .compare(std::string_view(all + b.at, b.size));
            return order != 0 ? order < 0 : *a.name < *b.name;
        });
        for (std::size_t k = 0; k < spans.size(); ++k)
            names[k] = spans[k].name;
        return;
    }
    struct Keyed {
        QString key;
        const std::string* name;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(names.size());
    for (const std::string* name : names)
        keyed.push_back({ QString::fromUtf8(*name).toUpper(), name });
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        const int order = QString::compare(a.key, b.key, Qt::CaseSensitive);
        return order != 0 ? order < 0 : *a.name < *b.name;
    });
    for (std::size_t k = 0; k < keyed.size(); ++k)
        names[k] = keyed[k].name;
}

std::vector<std::string> namesOf(const std::vector<const std::string*>& found)
{
    std::vector<std::string> names;
    names.reserve(found.size());
    for (const std::string* name : found)
        names.push_back(*name);
    return names;
}

} // namespace

std::vector<std::string> MatchingFiles(
    const std::vector<sys::FolderEntry>& entries, const std::string& pattern)
{
    const Matcher matches(pattern);
    std::vector<const std::string*> found;
    for (const sys::FolderEntry& entry : entries)
        if (entry.regularFile && matches(entry.name))
            found.push_back(&entry.name);
    sortNtfs(found);
    return namesOf(found);
}

namespace {

std::vector<Matcher> pictureMatchers()
{
    std::vector<Matcher> matchers;
    for (const std::string& pattern : PicturePatterns())
        matchers.emplace_back(pattern);
    return matchers;
}

// The picture groups of entries, sorted, as pointers to the entries' names.
std::vector<std::vector<const std::string*>> pictureGroupNames(
    const std::vector<sys::FolderEntry>& entries)
{
    const std::vector<Matcher> matchers = pictureMatchers();
    std::vector<std::vector<const std::string*>> groups(matchers.size());
    for (const sys::FolderEntry& entry : entries) {
        if (!entry.regularFile)
            continue;
        for (std::size_t p = 0; p < matchers.size(); ++p)
            if (matchers[p](entry.name))
                groups[p].push_back(&entry.name);
    }
    for (std::vector<const std::string*>& group : groups)
        sortNtfs(group);
    return groups;
}

} // namespace

std::vector<std::vector<std::string>> PictureGroups(const std::vector<sys::FolderEntry>& entries)
{
    std::vector<std::vector<std::string>> groups;
    for (const std::vector<const std::string*>& group : pictureGroupNames(entries))
        groups.push_back(namesOf(group));
    return groups;
}

void FindPictureFiles(std::string folder)
{
    if (folder.empty() || folder.back() != basGeneral::Separator().back())
        folder += basGeneral::Separator();
    // Only names of pictures are kept from the listing: in a big folder of mixed files the
    // others are many, and nothing is asked about them.
    const std::vector<Matcher> matchers = pictureMatchers();
    const std::vector<sys::FolderEntry> entries
        = sys::listFolder(folder, [&](std::string_view name) {
              return std::any_of(matchers.begin(), matchers.end(),
                  [&](const Matcher& matches) { return matches(name); });
          });
    const std::vector<std::vector<const std::string*>> groups = pictureGroupNames(entries);
    std::size_t count = 0;
    for (const std::vector<const std::string*>& group : groups)
        count += group.size();
    basGeneral::PicturePaths.reserve(static_cast<std::size_t>(basGeneral::PictureCount()) + count);
    for (const std::vector<const std::string*>& group : groups)
        for (const std::string* name : group)
            basGeneral::AddFile(folder + *name);
}

void FindFiles(std::string folder, const std::string& pattern)
{
    if (folder.empty() || folder.back() != basGeneral::Separator().back())
        folder += basGeneral::Separator();
    for (const std::string& name : MatchingFiles(sys::listFolder(folder), pattern))
        basGeneral::AddFile(folder + name);
}

} // namespace basFindFile
