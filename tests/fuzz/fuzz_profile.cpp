// The profile reader and writer against a model of the values written, names compared
// without regard to blanks around them and to ASCII letter case: every read ends inside its
// buffer, a value reads back as written (trimmed and unquoted, cut to the buffer), a key or
// section deleted is gone, and only a write the rules refuse fails. When the input starts
// with a file of its own, the model knows only what was written since, so that only the read
// right after each write is checked.

#include "FuzzSupport.h"
#include "system/Profile.h"

#include <fstream>
#include <map>

using std::string;

static const string profile = fuzz::scratchFolder() / "profile.ini";

static const char* const Words[] = { "Lumra", "options", "Key", "k", "", "a b", "\xc3\x84", "x" };

static string trimmed(string text)
{
    text.erase(0, text.find_first_not_of(" \t\r"));
    return text.erase(text.find_last_not_of(" \t\r") + 1);
}

static QByteArray folded(string s) { return QByteArray::fromStdString(trimmed(s)).toLower(); }

// A word in any case with blanks around it, or raw bytes.
static string name(fuzz::Bytes& in)
{
    const std::uint8_t choice = in.byte();
    QByteArray word = Words[choice & 7];
    word = choice & 0x10 ? word.toLower() : choice & 0x08 ? word.toUpper() : word;
    word = (choice & 0x20 ? " \t" : "") + word + (choice & 0x40 ? "  " : "");
    return choice & 0x80 ? in.text(24) : word.toStdString();
}

// Raw bytes, made as long as the 4095 characters a read keeps, quoted, with blanks around.
static string value(fuzz::Bytes& in)
{
    const std::uint8_t choice = in.byte();
    string text = in.text(63);
    if (choice & 0x80)
        text.resize(4000 + in.byte() * 2u, 'v');
    if (choice & 0x40)
        text = (choice & 0x01 ? "'" : "\"") + text + (choice & 0x02 ? "'" : "\"");
    return choice & 0x20 ? " " + text + "\t" : text;
}

// Trimmed, then one pair of matching quotes taken off.
static string readsAs(const string& value)
{
    const string t = trimmed(value);
    const bool quoted = t.size() >= 2 && (t[0] == '"' || t[0] == '\'') && t.back() == t[0];
    return quoted ? t.substr(1, t.size() - 2) : t;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Bytes in { data, size };
    const bool ownFile = in.byte() & 1;
    std::ofstream(profile, std::ios::binary) << (ownFile ? in.text() : string());
    std::map<std::pair<QByteArray, QByteArray>, string> model; // section and key: what reads back
    for (int step = 0; step < 64 && in.size > 0; ++step) {
        // Writes a value, deletes a key, a section; reads a value, a section's key names, the
        // section names.
        const int op = in.byte() % 6;
        const string section = name(in);
        const auto key = op == 0 || op == 1 || op == 3 ? std::optional(name(in)) : std::nullopt;
        const auto text = op == 0 ? std::optional(value(in)) : std::nullopt;
        const auto place = std::pair(folded(section), folded(key.value_or("")));
        if (op <= 2 && !sys::writeProfileString(section, key, text, profile)) {
            // The rules refuse line breaks and zeros, "]" in a section, "=" in a key, and a key
            // that is empty or reads as a section or comment.
            const string all = section + key.value_or("x") + text.value_or("");
            fuzz::check(all.find_first_of(string("\r\n\0]=[;", 7)) != string::npos
                    || (key && place.second.isEmpty()),
                "only what the rules refuse fails");
            continue;
        }
        if (op <= 2)
            std::erase_if(model, [&](const auto& e) {
                return e.first.first == place.first && (!key || e.first == place);
            });
        if (text)
            model[place] = readsAs(*text);
        const string defaultText = op == 3 ? in.text(15) + string(in.byte() % 3, ' ') : "";
        const std::uint8_t sizeByte = op <= 2 ? 0 : in.byte();
        std::vector<char> buffer(sizeByte < 0xF0 ? 4096 : sizeByte - 0xEF); // ASan sees past it
        const auto where = op == 5 ? std::nullopt : std::optional(section);
        const std::size_t count = sys::readProfileString(where, key, defaultText, buffer, profile);
        fuzz::check(count < buffer.size() && buffer[count] == 0, "a read ends inside its buffer");
        // No key name is empty, so that a listing finds nothing in the model.
        const auto found = model.find(place);
        const string expected = found != model.end()
            ? found->second
            : defaultText.substr(0, defaultText.find_last_not_of(' ') + 1);
        fuzz::check((op == 3 && ownFile) || op >= 4
                || string(buffer.data(), count) == expected.substr(0, buffer.size() - 1),
            "a read agrees with the model");
    }
    return 0;
}
