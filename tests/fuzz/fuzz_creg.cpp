// CReg's registry paths: any path, value name and text may be read, written and deleted
// without a crash; nothing is ever made outside the user's and the machine's settings
// folders; a value that SetReg says it wrote reads back, and one DelReg says it deleted is
// gone. YesNo and TrueFalse agree with each other.

#include "FuzzSupport.h"
#include "settings/CReg.h"

#include <QString>
#include <set>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The settings folders sit three levels down, so a path that climbs out of them, by one
// level or by several, leaves something where only these names are expected.
fs::path outer;
fs::path home;
fs::path userConfig;
fs::path machineConfig;
fs::path runtime;

void expectOnly(const fs::path& folder, const std::set<std::string>& names)
{
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        fuzz::check(names.count(name) == 1, "nothing is made outside the settings folders",
            entry.path().string());
    }
}

void checkNothingOutside()
{
    expectOnly(fuzz::scratchFolder(), { "w1" });
    expectOnly(fuzz::scratchFolder() / "w1", { "w2" });
    expectOnly(fuzz::scratchFolder() / "w1" / "w2", { "w3" });
    expectOnly(outer, { "home", "machine", "run" });
    expectOnly(home, { ".config" });
}

QString text(const std::string& bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// A registry path: a root name in some spelling, or none, then subkeys from a few words
// that mean something to the store, or raw bytes.
QString path(fuzz::Bytes& in)
{
    static const char* const roots[] = { "HKEY_CURRENT_USER", "hkcu", "HKEY_LOCAL_MACHINE", "HKLM",
        "HKEY_CLASSES_ROOT", "HKU", "HKEY_CURRENT_USE", "" };
    static const char* const words[] = { "Software", "software", "Morvanell", "Lumra", "..", ".",
        "", "a/b", "Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "General",
        "x.conf", "Lumra.conf.lock", " ", "%General", "Org", "App" };
    const std::uint8_t first = in.byte();
    std::string result = roots[first & 7];
    if (first & 0x08)
        result += "\\";
    const int parts = (first >> 4) & 7;
    for (int i = 0; i < parts; ++i) {
        const std::uint8_t choice = in.byte();
        if (i > 0 || !(first & 0x08))
            result += (choice & 0x40) ? "\\\\" : "\\";
        result += (choice & 0x80) ? in.text(12) : std::string(words[choice & 15]);
    }
    if (first & 0x80)
        result += in.text(12);
    return text(result);
}

QString valueName(fuzz::Bytes& in)
{
    static const char* const names[]
        = { "*", "", ".", "Sorted", "a/b", "x\\y", "My Pictures", "@Variant(x)" };
    const std::uint8_t choice = in.byte();
    return choice & 0x80 ? text(in.text(16)) : QString::fromUtf8(names[choice & 7]);
}

// The text a value holds after the way through the system's bytes.
QString asStored(const QString& value) { return QString::fromLocal8Bit(value.toLocal8Bit()); }

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    outer = fuzz::scratchFolder() / "w1" / "w2" / "w3";
    home = outer / "home";
    userConfig = home / ".config";
    machineConfig = outer / "machine";
    runtime = outer / "run";
    fuzz::makeFolder(userConfig);
    fuzz::makeFolder(machineConfig);
    fuzz::makeFolder(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", userConfig.c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", machineConfig.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    fuzz::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::AnsweringDialogs dialogs;
    dialogs.reset();
    fuzz::emptyFolder(userConfig);
    fuzz::emptyFolder(machineConfig);

    fuzz::Bytes in(data, size);
    CReg reg;
    for (int step = 0; step < 8 && !in.empty(); ++step) {
        const std::uint8_t op = in.byte();
        const QString where = path(in);
        const QString name = valueName(in);
        switch (op % 5) {
        case 0: {
            const QString setting = text(in.text(64));
            if (reg.SetReg(where, name, setting)) {
                const QString back = reg.GetReg(where, name, QStringLiteral("\x01missing"));
                fuzz::check(back == asStored(setting), "a value SetReg wrote reads back",
                    (where + QLatin1Char('|') + name + QStringLiteral("| wrote \"") + setting
                        + QStringLiteral("\", read \"") + back + QLatin1Char('"'))
                        .toStdString());
            }
            break;
        }
        case 1: reg.GetReg(where, name, text(in.text(8))); break;
        case 2:
            if (reg.DelReg(where, name.isEmpty() ? QStringLiteral("*") : name))
                fuzz::check(reg.GetReg(where, name.isEmpty() ? QStringLiteral("*") : name,
                                QStringLiteral("\x01missing"))
                        == QStringLiteral("\x01missing"),
                    "a value DelReg deleted is gone", where.toStdString());
            break;
        case 3: reg.DelReg(where, QString()); break;
        case 4: {
            const QString word = text(in.text(6));
            const QString upper = word.toUpper();
            fuzz::check(reg.TrueFalse(word)
                    == (reg.YesNo(word) == QLatin1String("Yes") || upper == QLatin1String("-1")),
                "TrueFalse is YesNo and -1", word.toStdString());
            break;
        }
        }
    }
    checkNothingOutside();
    // Failures the store meets are results, not reports; a report means a run-time failure.
    fuzz::check(dialogs.messages() == 0, "the registry calls report nothing",
        dialogs.lastMessage().toStdString());
    return 0;
}
