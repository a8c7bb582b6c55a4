// CReg's registry paths: nothing is ever made outside the user's and the machine's settings
// folders, a value SetReg wrote reads back and one DelReg deleted is gone. No dialogs are
// installed: a report would make a widget without a widget application, which aborts.

#include "FuzzSupport.h"
#include "settings/CReg.h"

using namespace fuzz;

static const char* const Roots[] = { "HKEY_CURRENT_USER", "hkcu", "HKEY_LOCAL_MACHINE", "HKLM",
    "HKEY_CLASSES_ROOT", "HKU", "HKEY_CURRENT_USE", "" };
static const char* const Words[] = { "Software", "software", "Morvanell", "Lumra", "..", ".", "",
    "a/b", "Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "General", "x.conf",
    "Lumra.conf.lock", " ", "%General", "Org", "App" };
static const char* const Names[]
    = { "*", "", ".", "Sorted", "a/b", "x\\y", "My Pictures", "@Variant(x)" };

// A root name in some spelling, or none, then subkeys from words that mean something to the
// store, or raw bytes.
static QString path(Bytes& in)
{
    const std::uint8_t first = in.byte();
    std::string result = Roots[first & 7] + std::string(first & 0x08 ? "\\" : "");
    for (int i = 0; i < ((first >> 4) & 7); ++i) {
        const std::uint8_t choice = in.byte();
        result += i > 0 || !(first & 0x08) ? (choice & 0x40 ? "\\\\" : "\\") : "";
        result += choice & 0x80 ? in.text(12) : Words[choice & 15];
    }
    return QString::fromStdString(first & 0x80 ? result + in.text(12) : result);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) { return startApplication(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    for (const fs::path& folder : { config, machine }) {
        fs::remove_all(folder);
        fs::create_directory(folder);
    }
    const QString missing = QStringLiteral("\x01missing");
    Bytes in { data, size };
    CReg reg;
    for (int step = 0; step < 8 && in.size > 0; ++step) {
        const int op = in.byte() % 5; // set, get, delete a value, delete a key, get
        const QString where = path(in);
        const std::uint8_t choice = in.byte();
        const auto name = QString::fromStdString(choice & 0x80 ? in.text(16) : Names[choice & 7]);
        const QString text = QString::fromStdString(op == 2 || op == 3 ? "" : in.text(op ? 8 : 64));
        // What SetReg writes goes through the system's bytes.
        if (op == 0 && reg.SetReg(where, name, text))
            check(reg.GetReg(where, name, missing) == QString::fromLocal8Bit(text.toLocal8Bit()),
                "a value SetReg wrote reads back");
        else if (op == 2 && !name.isEmpty() && reg.DelReg(where, name))
            check(reg.GetReg(where, name, missing) == missing, "a value DelReg deleted is gone");
        else if (op == 3)
            reg.DelReg(where, QString());
        else
            reg.GetReg(where, name, text);
    }
    // Besides the settings folders, the scratch folder holds only the six on the way to them.
    const auto count
        = [](auto f) { return std::distance(fs::recursive_directory_iterator(f), {}); };
    check(count(scratchFolder()) - count(config) - count(machine) == 6,
        "nothing is made outside the settings folders");
    return 0;
}
