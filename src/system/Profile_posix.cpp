#include "system/Profile.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <vector>

namespace sys {

namespace {

const char* const Blanks = " \t\r";

std::string trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(Blanks);
    if (first == std::string::npos)
        return {};
    const std::size_t last = text.find_last_not_of(Blanks);
    return text.substr(first, last - first + 1);
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return lower(x) == lower(y);
    });
}

// One line of a profile file as far as the profile rules see it.
struct Line {
    enum class Kind { Other, Section, Entry };
    std::string text; // as in the file, without its line end
    Kind kind = Kind::Other;
    std::string name; // the section's or the key's name, trimmed
    std::string value; // the entry's value, trimmed
};

Line classify(std::string text)
{
    Line line;
    const std::string bare = trimmed(text);
    line.text = std::move(text);
    if (bare.empty() || bare[0] == ';')
        return line;
    if (bare[0] == '[') {
        const std::size_t close = bare.find(']');
        line.kind = Line::Kind::Section;
        line.name
            = trimmed(bare.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        return line;
    }
    const std::size_t equals = bare.find('=');
    if (equals == std::string::npos)
        return line;
    line.name = trimmed(bare.substr(0, equals));
    if (line.name.empty())
        return line;
    line.kind = Line::Kind::Entry;
    line.value = trimmed(bare.substr(equals + 1));
    return line;
}

struct ProfileFile {
    std::vector<Line> lines;
    std::string lineEnd = "\n";
};

// Reads a profile file. Only a regular file is opened; a missing one reads as empty.
// False when the name is taken by something else or the file cannot be read.
bool load(const std::string& file, ProfileFile& profile)
{
    const QString name = QFile::decodeName(QByteArray::fromStdString(file));
    const QFileInfo info(name);
    if (!info.exists())
        return !info.isSymLink();
    if (!info.isFile())
        return false;
    QFile input(name);
    if (!input.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = input.readAll();
    if (input.error() != QFileDevice::NoError)
        return false;
    const std::string text = content.toStdString();
    const std::size_t firstEnd = text.find('\n');
    if (firstEnd != std::string::npos && firstEnd > 0 && text[firstEnd - 1] == '\r')
        profile.lineEnd = "\r\n";
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string lineText = text.substr(start, end - start);
        if (!lineText.empty() && lineText.back() == '\r')
            lineText.pop_back();
        profile.lines.push_back(classify(std::move(lineText)));
        start = end + 1;
    }
    return true;
}

bool save(const std::string& file, const ProfileFile& profile)
{
    std::string text;
    for (const Line& line : profile.lines)
        text += line.text + profile.lineEnd;
    // The file is replaced as a whole, so a crash never leaves half of it behind. A short
    // write (a full disk) must be caught before the commit: QSaveFile commits it regardless.
    QSaveFile output(QFile::decodeName(QByteArray::fromStdString(file)));
    if (!output.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const auto size = static_cast<qint64>(text.size());
    return output.write(text.data(), size) == size && output.error() == QFileDevice::NoError
        && output.commit();
}

// Every section of that name counts as part of one section, in the order of the file.
// Returns, for each line, whether it belongs to such a section (its header included).
std::vector<bool> linesOfSection(const ProfileFile& profile, const std::string& section)
{
    std::vector<bool> inside(profile.lines.size(), false);
    bool current = false;
    for (std::size_t i = 0; i < profile.lines.size(); ++i) {
        const Line& line = profile.lines[i];
        if (line.kind == Line::Kind::Section)
            current = sameName(line.name, section);
        inside[i] = current;
    }
    return inside;
}

std::string unquoted(const std::string& value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')
        && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// Copies a list of names, each followed by a zero, and one more zero. A list that does not
// fit is cut and ends with two zeros; the count is then the buffer's size less two.
std::size_t copyNames(const std::vector<std::string>& names, std::span<char> buffer)
{
    std::string list;
    for (const std::string& name : names) {
        list += name;
        list.push_back('\0');
    }
    if (buffer.size() < 2) {
        buffer[0] = '\0';
        return 0;
    }
    if (list.size() + 1 <= buffer.size()) {
        std::copy(list.begin(), list.end(), buffer.begin());
        buffer[list.size()] = '\0';
        return list.size();
    }
    const std::size_t kept = buffer.size() - 2;
    std::copy_n(list.begin(), kept, buffer.begin());
    buffer[kept] = '\0';
    buffer[kept + 1] = '\0';
    return kept;
}

std::size_t copyText(const std::string& text, std::span<char> buffer)
{
    const std::size_t kept = std::min(text.size(), buffer.size() - 1);
    std::copy_n(text.begin(), kept, buffer.begin());
    buffer[kept] = '\0';
    return kept;
}

void addName(std::vector<std::string>& names, const std::string& name)
{
    for (const std::string& known : names)
        if (sameName(known, name))
            return;
    names.push_back(name);
}

} // namespace

std::size_t readProfileString(const std::optional<std::string>& section,
    const std::optional<std::string>& key, const std::string& defaultText, std::span<char> buffer,
    const std::string& file)
{
    if (buffer.empty())
        return 0;
    ProfileFile profile;
    if (!load(file, profile))
        profile.lines.clear();

    if (!section) {
        std::vector<std::string> names;
        for (const Line& line : profile.lines)
            if (line.kind == Line::Kind::Section)
                addName(names, line.name);
        return copyNames(names, buffer);
    }

    // Names are looked up trimmed, as they are written and as the file's names are read.
    const std::vector<bool> inside = linesOfSection(profile, trimmed(*section));
    if (!key) {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < profile.lines.size(); ++i)
            if (inside[i] && profile.lines[i].kind == Line::Kind::Entry)
                addName(names, profile.lines[i].name);
        return copyNames(names, buffer);
    }

    const std::string keyName = trimmed(*key);
    for (std::size_t i = 0; i < profile.lines.size(); ++i) {
        const Line& line = profile.lines[i];
        if (inside[i] && line.kind == Line::Kind::Entry && sameName(line.name, keyName))
            return copyText(unquoted(line.value), buffer);
    }
    const std::size_t end = defaultText.find_last_not_of(' ');
    return copyText(
        end == std::string::npos ? std::string() : defaultText.substr(0, end + 1), buffer);
}

bool writeProfileString(const std::optional<std::string>& section,
    const std::optional<std::string>& key, const std::optional<std::string>& value,
    const std::string& file)
{
    // Without a section there is nothing to write (Windows only flushes its cache then).
    if (!section)
        return false;
    if (!profileWriteAllowed(*section, key, value))
        return false;
    const std::string sectionName = trimmed(*section);
    const std::string keyName = key ? trimmed(*key) : std::string();

    ProfileFile profile;
    if (!load(file, profile))
        return false;
    const std::vector<bool> inside = linesOfSection(profile, sectionName);
    const bool sectionFound = std::find(inside.begin(), inside.end(), true) != inside.end();

    if (!key || !value) {
        if (!sectionFound)
            return true;
        std::vector<Line> kept;
        bool changed = false;
        for (std::size_t i = 0; i < profile.lines.size(); ++i) {
            const Line& line = profile.lines[i];
            const bool drop = inside[i]
                && (!key || (line.kind == Line::Kind::Entry && sameName(line.name, keyName)));
            changed = changed || drop;
            if (!drop)
                kept.push_back(line);
        }
        if (!changed)
            return true;
        profile.lines = std::move(kept);
        return save(file, profile);
    }

    for (std::size_t i = 0; i < profile.lines.size(); ++i) {
        Line& line = profile.lines[i];
        if (inside[i] && line.kind == Line::Kind::Entry && sameName(line.name, keyName)) {
            line = classify(line.name + '=' + *value);
            return save(file, profile);
        }
    }
    Line entry = classify(keyName + '=' + *value);
    if (!sectionFound) {
        profile.lines.push_back(classify('[' + sectionName + ']'));
        profile.lines.push_back(std::move(entry));
        return save(file, profile);
    }
    // A new key goes after the last entry of the first section of that name, so blank lines
    // and comments that close the section stay where they are.
    const auto header
        = static_cast<std::size_t>(std::find(inside.begin(), inside.end(), true) - inside.begin());
    std::size_t at = header + 1;
    for (std::size_t i = header + 1;
         i < profile.lines.size() && profile.lines[i].kind != Line::Kind::Section; ++i)
        if (profile.lines[i].kind == Line::Kind::Entry)
            at = i + 1;
    profile.lines.insert(profile.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
    return save(file, profile);
}

} // namespace sys
