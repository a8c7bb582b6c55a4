// The profile reader and writer against a model: a list of sections, each a list of keys
// with their values, names compared without regard to letter case. The input is a sequence
// of writes, deletions and reads; every read and every list of names agrees with the model.
// Writes the rules refuse (line breaks or zeros anywhere, "]" in a section name, "=" in a
// key name, a key name that is empty or would read as a section or a comment) change
// nothing. When the input starts from a file of its own, the model is unknown, and what
// holds is that a value just written reads back and a key just deleted is gone.

#include "FuzzSupport.h"
#include "system/Profile.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <vector>

namespace {

constexpr std::size_t FullBuffer = 4096;

std::string profileFile;

const char* const Blanks = " \t\r";

std::string trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(Blanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

std::string folded(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool sameName(const std::string& a, const std::string& b)
{
    return folded(trimmed(a)) == folded(trimmed(b));
}

bool hasBreakOrZero(const std::string& text)
{
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

bool sectionRefused(const std::string& section)
{
    return hasBreakOrZero(section) || section.find(']') != std::string::npos;
}

bool keyRefused(const std::string& key)
{
    const std::string name = trimmed(key);
    return name.empty() || hasBreakOrZero(key) || key.find('=') != std::string::npos
        || name[0] == '[' || name[0] == ';';
}

// What a stored value reads back as: trimmed, then one pair of matching quotes taken off.
std::string readsAs(const std::string& value)
{
    std::string text = trimmed(value);
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'')
        && text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    return text;
}

struct Entry {
    std::string name; // as first written, trimmed
    std::string value; // as written
};

struct Section {
    std::string name;
    std::vector<Entry> entries;
};

class Model {
public:
    Section* section(const std::string& name)
    {
        const auto found = std::find_if(m_sections.begin(), m_sections.end(),
            [&](const Section& s) { return sameName(s.name, name); });
        return found == m_sections.end() ? nullptr : &*found;
    }

    static Entry* entry(Section& section, const std::string& name)
    {
        const auto found = std::find_if(section.entries.begin(), section.entries.end(),
            [&](const Entry& e) { return sameName(e.name, name); });
        return found == section.entries.end() ? nullptr : &*found;
    }

    void write(const std::string& sectionName, const std::string& key, const std::string& value)
    {
        Section* s = section(sectionName);
        if (!s) {
            m_sections.push_back({ trimmed(sectionName), {} });
            s = &m_sections.back();
        }
        if (Entry* e = entry(*s, key))
            e->value = value;
        else
            s->entries.push_back({ trimmed(key), value });
    }

    void deleteKey(const std::string& sectionName, const std::string& key)
    {
        if (Section* s = section(sectionName))
            std::erase_if(s->entries, [&](const Entry& e) { return sameName(e.name, key); });
    }

    void deleteSection(const std::string& sectionName)
    {
        std::erase_if(m_sections, [&](const Section& s) { return sameName(s.name, sectionName); });
    }

    std::vector<std::string> sectionNames() const
    {
        std::vector<std::string> names;
        for (const Section& s : m_sections)
            names.push_back(s.name);
        return names;
    }

    std::vector<std::string> keyNames(const std::string& sectionName)
    {
        std::vector<std::string> names;
        if (Section* s = section(sectionName))
            for (const Entry& e : s->entries)
                names.push_back(e.name);
        return names;
    }

private:
    std::vector<Section> m_sections;
};

// Names from a few words, in any case and with blanks around them, or raw bytes.
std::string name(fuzz::Bytes& in)
{
    const std::uint8_t choice = in.byte();
    if (choice & 0x80)
        return in.text(24);
    static const char* const words[]
        = { "Lumra", "options", "Key", "k", "", "a b", "\xc3\x84", "x" };
    std::string word = words[choice & 7];
    if (choice & 0x08)
        std::transform(word.begin(), word.end(), word.begin(),
            [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    if (choice & 0x10)
        word = folded(word);
    if (choice & 0x20)
        word = " \t" + word;
    if (choice & 0x40)
        word += "  ";
    return word;
}

std::string value(fuzz::Bytes& in)
{
    const std::uint8_t choice = in.byte();
    std::string text = in.text(63);
    if (choice & 0x80) {
        // Around the 4095 characters a read keeps.
        const std::size_t length = 4000 + in.byte() * 2u;
        const std::string unit = text.empty() ? std::string("v") : text;
        text.clear();
        while (text.size() < length)
            text += unit;
        text.resize(length);
    }
    if (choice & 0x40)
        text = ((choice & 0x01) ? "'" : "\"") + text + ((choice & 0x02) ? "'" : "\"");
    if (choice & 0x20)
        text = " " + text + "\t";
    return text;
}

std::string names(const std::vector<std::string>& list)
{
    std::string joined;
    for (const std::string& n : list) {
        joined += n;
        joined.push_back('\0');
    }
    return joined;
}

// The text a read puts in a buffer of that size: cut to leave room for the final zero.
std::string cutText(const std::string& text, std::size_t bufferSize)
{
    return text.substr(0, std::min(text.size(), bufferSize - 1));
}

// A list of names cut to a buffer: when it does not fit whole, it keeps size - 2 characters
// and ends with two zeros.
std::string cutNames(const std::string& list, std::size_t bufferSize)
{
    if (bufferSize < 2)
        return {};
    if (list.size() + 1 <= bufferSize)
        return list;
    return list.substr(0, bufferSize - 2);
}

std::size_t bufferSize(fuzz::Bytes& in)
{
    const std::uint8_t size = in.byte();
    return size < 0xF0 ? FullBuffer : size - 0xEF; // 1 to 16
}

// Reads through the real reader and checks what every read promises about the buffer.
std::string read(const std::optional<std::string>& section, const std::optional<std::string>& key,
    const std::string& defaultText, std::size_t size)
{
    std::vector<char> buffer(size + 8, '\x7f');
    const std::size_t count = sys::readProfileString(
        section, key, defaultText, std::span<char>(buffer.data(), size), profileFile);
    fuzz::check(count < size, "a read leaves room for the final zero");
    fuzz::check(buffer[count] == '\0', "a read ends with a zero");
    fuzz::check(std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(size), buffer.end(),
                    [](char c) { return c == '\x7f'; }),
        "a read stays inside its buffer");
    return std::string(buffer.data(), count);
}

void checkSame(const std::string& got, const std::string& expected, const char* property)
{
    if (got != expected)
        fuzz::fail(property, "read \"" + got + "\", expected \"" + expected + "\"");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    profileFile = (fuzz::scratchFolder() / "profile.ini").string();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Bytes in(data, size);
    const bool ownFile = (in.byte() & 1) != 0;
    {
        std::ofstream file(profileFile, std::ios::binary | std::ios::trunc);
        if (ownFile)
            file << in.text(255);
    }

    Model model;
    for (int step = 0; step < 64 && !in.empty(); ++step) {
        const std::uint8_t op = in.byte();
        const std::string section = name(in);
        switch (op % 6) {
        case 0: {
            const std::string key = name(in);
            const std::string text = value(in);
            const bool refused = sectionRefused(section) || keyRefused(key) || hasBreakOrZero(text);
            const bool written = sys::writeProfileString(section, key, text, profileFile);
            fuzz::check(written == !refused, "a write is refused exactly by the rules");
            if (written) {
                model.write(section, key, text);
                checkSame(read(section, key, "-", FullBuffer), cutText(readsAs(text), FullBuffer),
                    "a value just written reads back");
            }
            break;
        }
        case 1: {
            const std::string key = name(in);
            const bool refused = sectionRefused(section) || keyRefused(key);
            const bool deleted = sys::writeProfileString(section, key, std::nullopt, profileFile);
            fuzz::check(deleted == !refused, "a deletion is refused exactly by the rules");
            if (deleted) {
                model.deleteKey(section, key);
                checkSame(read(section, key, "gone", FullBuffer), "gone", "a deleted key is gone");
            }
            break;
        }
        case 2: {
            const bool refused = sectionRefused(section);
            const bool deleted
                = sys::writeProfileString(section, std::nullopt, std::nullopt, profileFile);
            fuzz::check(deleted == !refused, "a deletion is refused exactly by the rules");
            if (deleted) {
                model.deleteSection(section);
                checkSame(read(section, std::nullopt, "", FullBuffer), "",
                    "a deleted section has no keys");
            }
            break;
        }
        case 3: {
            const std::string key = name(in);
            const std::string defaultText = in.text(15) + std::string(in.byte() % 3, ' ');
            const std::size_t bytes = bufferSize(in);
            const std::string got = read(section, key, defaultText, bytes);
            if (!ownFile) {
                std::string expected = defaultText.substr(0, defaultText.find_last_not_of(' ') + 1);
                if (Section* s = model.section(section))
                    if (Entry* e = Model::entry(*s, key))
                        expected = readsAs(e->value);
                checkSame(got, cutText(expected, bytes), "a read agrees with the model");
            }
            break;
        }
        case 4: {
            const std::size_t bytes = bufferSize(in);
            const std::string got = read(section, std::nullopt, "unused", bytes);
            if (!ownFile)
                checkSame(got, cutNames(names(model.keyNames(section)), bytes),
                    "a section's key names agree with the model");
            break;
        }
        case 5: {
            const std::size_t bytes = bufferSize(in);
            const std::string got = read(std::nullopt, std::nullopt, "unused", bytes);
            if (!ownFile)
                checkSame(got, cutNames(names(model.sectionNames()), bytes),
                    "the section names agree with the model");
            break;
        }
        }
    }
    return 0;
}
