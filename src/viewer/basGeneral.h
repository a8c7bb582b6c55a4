#pragma once

// The picture list and the general routines the viewer shares. Paths are kept as the file
// system's own bytes, so a name that is not valid UTF-8 still names the same file.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace basGeneral {

// A 1-based array of texts. Reading or writing outside 1 to count() fails with "Subscript
// out of range" (9); an empty array has no storage at all.
class TextArray {
public:
    std::int32_t count() const { return static_cast<std::int32_t>(m_items.size()); }
    bool hasStorage() const { return !m_items.empty(); }
    std::int32_t lowerBound() const { return 1; }
    std::int32_t upperBound() const { return count(); }

    const std::string& at(std::int32_t index) const;
    std::string& at(std::int32_t index);
    void append(std::string item) { m_items.push_back(std::move(item)); }
    void clear() { std::vector<std::string>().swap(m_items); }
    void reserve(std::size_t size) { m_items.reserve(size); }

private:
    std::vector<std::string> m_items;
};

// The picture list: the full paths of the picture files, entries 1 to PictureCount().
extern TextArray PicturePaths;
inline std::int32_t PictureCount() { return PicturePaths.count(); }

// The program's own folder, ending in the path separator.
extern std::string AppFolder;

// The native path separator.
const std::string& Separator();

// The folder that holds the executable, ending in the path separator.
std::string ProgramFolder();

// True when path is not empty and names an existing file or folder.
bool PathExists(const std::string& path);
// True when path is not empty and names an existing folder.
bool FolderExists(const std::string& path);
// text without any leading or trailing repetitions of part.
std::string StripEnds(std::string text, const std::string& part);

// The part of path after its last separator; path itself when it holds none.
std::string GetFileName(const std::string& path);

// A whole number from lo to hi inclusive, drawn after reseeding the generator.
std::int32_t RandomBetween(std::int32_t lo, std::int32_t hi);

// Deletes one file for good; a failure gets the short report.
void RemoveFile(const std::string& path);

// Appends one path as the new last entry of the picture list.
void AddFile(const std::string& path);

// Puts texts in order of their bytes. With foldCase the bytes of ASCII letters count in
// upper case, and texts alike that way go by their own bytes.
void sortByBytes(std::vector<std::string*>& texts, bool foldCase);

// c in upper case when it is an ASCII letter, else c itself.
inline char asciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Sorts the entries low to high (the whole array when either bound is missing) in
// ascending order: by character code, or by upper-case forms when caseSensitive is false.
void SortStrings(TextArray& items, bool caseSensitive,
    std::optional<std::int32_t> low = std::nullopt,
    std::optional<std::int32_t> high = std::nullopt);

} // namespace basGeneral
