#include "system/Registry.h"

#include "system/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <optional>

namespace sys {

namespace {

// QSettings has no unnamed value; "." is what Qt's Windows back end takes for it too.
const QString DefaultValueName = QStringLiteral(".");

QString fromSystem(const std::string& text) { return QString::fromLocal8Bit(text); }

QString userFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString machineFolder()
{
    const QStringList folders
        = qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return folders.isEmpty() ? QStringLiteral("/etc/xdg") : folders.first();
}

struct KeyPlace {
    bool shellFolders = false;
    QString file; // the store file
    QString group; // the group in it; empty for its [General] values

    std::string store() const { return QFile::encodeName(file).toStdString(); }
    // The group's prefix in the store's keys: empty, or "Group/".
    std::string prefix() const
    {
        return group.isEmpty() ? std::string() : group.toStdString() + '/';
    }
};

enum class Located { Store, ShellFolders, Nowhere, Unopenable };

Located locate(RootKey root, const std::string& subKey, KeyPlace& where)
{
    QString base;
    switch (root) {
    case RootKey::CurrentUser: base = userFolder(); break;
    case RootKey::LocalMachine: base = machineFolder(); break;
    case RootKey::ClassesRoot:
    case RootKey::Users: return Located::Unopenable;
    case RootKey::None: return Located::Nowhere;
    }
    const QStringList parts = fromSystem(subKey).split(QLatin1Char('\\'), Qt::SkipEmptyParts);

    static const QStringList shellFolders { QStringLiteral("Software"), QStringLiteral("Microsoft"),
        QStringLiteral("Windows"), QStringLiteral("CurrentVersion"), QStringLiteral("Explorer"),
        QStringLiteral("Shell Folders") };
    if (root == RootKey::CurrentUser && parts.size() == shellFolders.size()) {
        bool same = true;
        for (qsizetype i = 0; i < parts.size() && same; ++i)
            same = parts[i].compare(shellFolders[i], Qt::CaseInsensitive) == 0;
        if (same) {
            where.shellFolders = true;
            return Located::ShellFolders;
        }
    }

    // Only "Software\Org" and "Software\Org\App\..." have a place, the places QSettings gives
    // to an organisation and to an application. The names become file names and groups, so
    // a name that would climb out of the folder or split a group is refused.
    if (base.isEmpty() || parts.size() < 2
        || parts[0].compare(shellFolders[0], Qt::CaseInsensitive) != 0)
        return Located::Nowhere;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (parts[i].contains(QLatin1Char('/')) || parts[i].contains(QChar(0)))
            return Located::Nowhere;
        if (i <= 2 && (parts[i] == QLatin1String(".") || parts[i] == QLatin1String("..")))
            return Located::Nowhere;
    }
    if (parts.size() == 2) {
        where.file = base + QLatin1Char('/') + parts[1] + QStringLiteral(".conf");
    } else {
        where.file = base + QLatin1Char('/') + parts[1] + QLatin1Char('/') + parts[2]
            + QStringLiteral(".conf");
        where.group = parts.mid(3).join(QLatin1Char('/'));
    }
    return Located::Store;
}

bool isWritableStore(const QFileInfo& info) { return info.isFile() && info.isWritable(); }

// The store's key for a value of the key at where.
std::optional<std::string> settingsKey(const KeyPlace& where, const std::string& name)
{
    const QString key = name.empty() ? DefaultValueName : fromSystem(name);
    // A "/" would make QSettings read the name as a group path.
    if (key.contains(QLatin1Char('/')))
        return std::nullopt;
    return where.prefix() + key.toStdString();
}

// Whether any value lies under a group's prefix or, with deeper, in a subgroup of it.
bool anyUnder(const SettingsValues& values, const std::string& prefix, bool deeper = false)
{
    for (auto at = values.lower_bound(prefix); at != values.end() && at->first.starts_with(prefix);
         ++at)
        if (!deeper || at->first.find('/', prefix.size()) != std::string::npos)
            return true;
    return false;
}

// A key whose values are read from their whole data at once.
class DataKey : public RegistryKey {
public:
    RegStatus valueSize(const std::string& name, std::uint32_t& size) override
    {
        const auto data = valueData(name);
        if (!data)
            return RegFileNotFound;
        size = static_cast<std::uint32_t>(data->size());
        return RegSuccess;
    }
    RegStatus readValue(const std::string& name, std::uint32_t size, std::string& data) override
    {
        const auto stored = valueData(name);
        if (!stored)
            return RegFileNotFound;
        if (stored->size() > size)
            return RegMoreData;
        data = *stored;
        return RegSuccess;
    }

protected:
    // A value's data with its terminating zero, or nothing when there is no such value.
    virtual std::optional<std::string> valueData(const std::string& name) const = 0;
};

class ShellFoldersKey final : public DataKey {
public:
    // The shell's record is the XDG user folders' business, not ours.
    RegStatus writeString(const std::string&, const std::string&) override
    {
        return RegAccessDenied;
    }
    RegStatus deleteValue(const std::string&) override { return RegAccessDenied; }

private:
    std::optional<std::string> valueData(const std::string& name) const override
    {
        if (fromSystem(name).compare(QLatin1String("My Pictures"), Qt::CaseInsensitive) != 0)
            return std::nullopt;
        const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        if (pictures.isEmpty())
            return std::nullopt;
        std::string data = QFile::encodeName(QDir::toNativeSeparators(pictures)).toStdString();
        data.push_back('\0');
        return data;
    }
};

class StoreKey final : public DataKey {
public:
    explicit StoreKey(KeyPlace where)
        : m_where(std::move(where))
    {
    }

    RegStatus writeString(const std::string& name, const std::string& text) override
    {
        const auto key = settingsKey(m_where, name);
        if (!key)
            return RegInvalidParameter;
        const bool written = changeSettings(m_where.store(), *key, fromSystem(text).toStdString());
        return written ? RegSuccess : RegAccessDenied;
    }

    RegStatus deleteValue(const std::string& name) override
    {
        const auto key = settingsKey(m_where, name);
        if (!key || !valueData(name))
            return RegFileNotFound;
        return changeSettings(m_where.store(), *key, std::nullopt) ? RegSuccess : RegAccessDenied;
    }

private:
    // The value as the registry would hand it out: its text with a terminating zero.
    std::optional<std::string> valueData(const std::string& name) const override
    {
        const auto key = settingsKey(m_where, name);
        const SettingsValues values = key ? readSettings(m_where.store()) : SettingsValues();
        const auto found = key ? values.find(*key) : values.end();
        if (found == values.end())
            return std::nullopt;
        std::string data = QString::fromStdString(found->second).toLocal8Bit().toStdString();
        data.push_back('\0');
        return data;
    }

    KeyPlace m_where;
};

} // namespace

RegStatus openKey(RootKey root, const std::string& subKey, std::unique_ptr<RegistryKey>& key)
{
    KeyPlace where;
    switch (locate(root, subKey, where)) {
    case Located::ShellFolders: key = std::make_unique<ShellFoldersKey>(); return RegSuccess;
    case Located::Nowhere: return RegFileNotFound;
    case Located::Unopenable: return RegAccessDenied;
    case Located::Store: break;
    }
    const QFileInfo info(where.file);
    if (!info.exists())
        return RegFileNotFound;
    // Keys are opened for full access: a store that cannot be written cannot be opened.
    if (!isWritableStore(info))
        return RegAccessDenied;
    if (!where.group.isEmpty() && !anyUnder(readSettings(where.store()), where.prefix()))
        return RegFileNotFound;
    key = std::make_unique<StoreKey>(std::move(where));
    return RegSuccess;
}

RegStatus createKey(RootKey root, const std::string& subKey, std::unique_ptr<RegistryKey>& key)
{
    KeyPlace where;
    switch (locate(root, subKey, where)) {
    case Located::Nowhere:
    case Located::Unopenable:
    case Located::ShellFolders: return RegAccessDenied;
    case Located::Store: break;
    }
    // A key without values leaves no trace in a QSettings file: the file comes with the
    // first value. Its folder is made now, as the registry would make the key.
    const QFileInfo info(where.file);
    if (info.exists() ? !isWritableStore(info) : !QDir().mkpath(info.absolutePath()))
        return RegAccessDenied;
    key = std::make_unique<StoreKey>(std::move(where));
    return RegSuccess;
}

RegStatus deleteKey(RootKey root, const std::string& subKey)
{
    KeyPlace where;
    switch (locate(root, subKey, where)) {
    case Located::Nowhere: return RegFileNotFound;
    case Located::Unopenable:
    case Located::ShellFolders: return RegAccessDenied;
    case Located::Store: break;
    }
    const QFileInfo info(where.file);
    if (!info.exists())
        return RegFileNotFound;
    if (!isWritableStore(info))
        return RegAccessDenied;

    const SettingsValues values = readSettings(where.store());
    if (!where.group.isEmpty() && !anyUnder(values, where.prefix()))
        return RegFileNotFound;
    // As in the registry, only a key without subkeys can be deleted.
    bool hasSubkeys = anyUnder(values, where.prefix(), true);
    if (where.group.isEmpty()) {
        // An organisation's applications are the subkeys of its key.
        const QDir appFolder(info.absolutePath() + QLatin1Char('/') + info.completeBaseName());
        if (appFolder.exists()
            && !appFolder.entryList({ QStringLiteral("*.conf") }, QDir::Files).isEmpty())
            hasSubkeys = true;
    }
    if (hasSubkeys)
        return RegAccessDenied;
    const bool removed = where.group.isEmpty()
        ? removeSettings(where.store())
        : changeSettings(where.store(), where.group.toStdString(), std::nullopt);
    return removed ? RegSuccess : RegAccessDenied;
}

} // namespace sys
