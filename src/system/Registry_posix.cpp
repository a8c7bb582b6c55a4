#include "system/Registry.h"

#include "system/RegularFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QSaveFile>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringList>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sys {

namespace {

// QSettings has no unnamed value; "." is what Qt's Windows back end takes for it too.
const QString DefaultValueName = QStringLiteral(".");
constexpr int LockWaitMs = 3000;

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

// A store is used only when it is a regular file or not there yet: QSettings would block
// on a FIFO and cannot keep anything in a folder.
bool isUsable(const QFileInfo& info) { return !info.exists() || info.isFile(); }

bool isWritableStore(const QFileInfo& info) { return info.isFile() && info.isWritable(); }

std::optional<QString> settingsName(const std::string& name)
{
    const QString key = name.empty() ? DefaultValueName : fromSystem(name);
    // A "/" would make QSettings read the name as a group path.
    if (key.contains(QLatin1Char('/')))
        return std::nullopt;
    return key;
}

// Qt reads a value written as @Variant(...) or @DateTime(...) with QDataStream, which believes
// the lengths it finds there: a line of a few bytes can make it allocate gigabytes. Lumra only
// ever stores text, so such a line was never Lumra's, and it is left out of what Qt is given.
// A line is judged by what it could spell once Qt has read it: escapes decoded the way Qt
// decodes them (a hexadecimal or octal one to any character, an unknown one to nothing), line
// continuations followed, and quotes and blanks, which Qt may drop, set aside.
class BinaryValueLines {
public:
    explicit BinaryValueLines(const QByteArray& content)
        : m_content(content)
    {
    }

    // The content without the lines that could hold such a value.
    QByteArray remainder()
    {
        QByteArray kept;
        qsizetype at = 0;
        while (at < m_content.size()) {
            const qsizetype begin = at;
            const bool binary = spellsBinaryValue(at);
            if (!binary)
                kept.append(m_content.constData() + begin, at - begin);
        }
        return kept;
    }

private:
    // Reads one line from at, its ending included, and leaves at on the next line.
    bool spellsBinaryValue(qsizetype& at)
    {
        static const QByteArray openings[]
            = { QByteArrayLiteral("@Variant("), QByteArrayLiteral("@DateTime(") };
        QByteArray spelt;
        const qsizetype end = m_content.size();
        while (at < end) {
            const char ch = m_content[at++];
            if (ch == '\n' || ch == '\r')
                break;
            if (ch == '"' || ch == ' ' || ch == '\t')
                continue;
            if (ch != '\\' || at == end) {
                if (ch != '\\')
                    spelt.append(ch);
                continue;
            }
            const char escaped = m_content[at++];
            if (escaped == '\n' || escaped == '\r') {
                const char pair = escaped == '\n' ? '\r' : '\n';
                if (at < end && m_content[at] == pair)
                    ++at;
            } else if (escaped == 'x' || (escaped >= '0' && escaped <= '7')) {
                spelt.append(numberedCharacter(at, escaped == 'x' ? 16 : 8, escaped));
            } else if (QByteArrayView("\"'\\?abfnrtv").contains(escaped)) {
                spelt.append('\x01'); // a character no opening holds
            }
            // Qt drops an unknown escape, backslash and character alike.
        }
        // Qt decodes an opening only where a value, or an item of a list, begins: after the
        // "=" or a ",". Anything else before it makes it text ("@@" is how Qt writes a text
        // that begins with "@", "@String(" one that holds a zero).
        for (const QByteArray& opening : openings) {
            for (qsizetype found = spelt.indexOf(opening); found >= 0;
                 found = spelt.indexOf(opening, found + 1)) {
                if (found == 0 || spelt[found - 1] == '=' || spelt[found - 1] == ',')
                    return true;
            }
        }
        return false;
    }

    static int digitValue(char ch)
    {
        if (ch >= '0' && ch <= '9')
            return ch - '0';
        const char lower = char(ch | 0x20);
        return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
    }

    // The character an escape by number stands for: Qt takes every digit that follows and
    // keeps the low sixteen bits.
    char numberedCharacter(qsizetype& at, int base, char first)
    {
        unsigned value = base == 8 ? unsigned(first - '0') : 0;
        while (at < m_content.size()) {
            const int digit = digitValue(m_content[at]);
            if (digit < 0 || digit >= base)
                break;
            value = ((value * unsigned(base)) + unsigned(digit)) & 0xffffu;
            ++at;
        }
        return value < 0x80 ? char(value) : '\x01';
    }

    const QByteArray& m_content;
};

std::optional<QByteArray> contentOf(const QString& file)
{
    const auto opened = RegularFile::open(QFile::encodeName(file).toStdString());
    if (!opened)
        return std::nullopt;
    QByteArray content(qsizetype(opened->size()), Qt::Uninitialized);
    const std::int64_t got = opened->readAt(0, content.data(), content.size());
    if (got < 0)
        return std::nullopt;
    content.truncate(qsizetype(got));
    return content;
}

// The store as Qt is given it: the file itself, or, when it has lines that must not reach Qt,
// a private copy without them.
class StoreView {
public:
    explicit StoreView(const QString& file)
    {
        const QByteArray content = contentOf(file).value_or(QByteArray());
        const QByteArray safe = BinaryValueLines(content).remainder();
        if (safe.size() == content.size()) {
            m_settings.emplace(file, QSettings::NativeFormat);
            return;
        }
        m_copy.emplace(QDir::tempPath() + QStringLiteral("/lumra-settings-XXXXXX"));
        if (m_copy->open())
            m_copy->write(safe);
        m_copy->close();
        m_settings.emplace(m_copy->fileName(), QSettings::NativeFormat);
    }

    QSettings& settings() { return *m_settings; }

private:
    std::optional<QTemporaryFile> m_copy;
    std::optional<QSettings> m_settings; // after m_copy: it is let go first
};

// QSettings rewrites a store from what it understood of it, so lines it could not read (and
// comments) vanish on the next save. A file is clean when no line would be lost that way.
bool readsBackWhole(const QByteArray& content)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(content);
    if (decoder.hasError() || text.contains(QChar(0))
        || BinaryValueLines(content).remainder().size() != content.size())
        return false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')) || line.size() < 3)
                return false;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0 || line.left(equals).trimmed().isEmpty())
            return false;
    }
    return true;
}

// Before a store with lines QSettings cannot read is rewritten, a copy of it is kept beside
// it, so that nothing the user had is lost without a word. False when no copy could be made.
bool keepCopyOfUnreadable(const QString& file)
{
    QFile original(file);
    if (!original.exists())
        return true;
    if (!original.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = original.readAll();
    original.close();
    if (readsBackWhole(content))
        return true;
    for (int n = 1; n <= 100; ++n) {
        QString copyName = file + QStringLiteral(".bad");
        if (n > 1)
            copyName += QLatin1Char('.') + QString::number(n);
        const QFileInfo copyInfo(copyName);
        if (copyInfo.exists() || copyInfo.isSymLink())
            continue;
        // Unbuffered, so that a short write shows: QSaveFile would commit it regardless.
        QSaveFile copy(copyName);
        if (!copy.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
            || copy.write(content) != content.size() || copy.error() != QFileDevice::NoError
            || !copy.commit())
            return false;
        std::fprintf(stderr, "Lumra: %s has lines that cannot be read; a copy was kept as %s\n",
            qPrintable(file), qPrintable(copyName));
        return true;
    }
    return false;
}

// QSettings waits without a time limit for its lock file, and for ever when that name is
// taken by a folder. Lumra takes the same lock with a time limit and holds it while it
// writes. A store whose lock cannot be had is left alone for the rest of the run, and that is
// said once.
std::unique_ptr<QLockFile> takeLock(const QString& file)
{
    static QSet<QString> lockedOut;
    if (lockedOut.contains(file))
        return nullptr;
    const QString lockName = file + QStringLiteral(".lock");
    const QFileInfo lockInfo(lockName);
    const bool present = lockInfo.exists() || lockInfo.isSymLink();
    if (!present || (lockInfo.isFile() && !lockInfo.isSymLink())) {
        auto lock = std::make_unique<QLockFile>(lockName);
        if (lock->tryLock(LockWaitMs))
            return lock;
        // No permission to lock means no permission to write: an ordinary failure.
        if (lock->error() != QLockFile::LockFailedError)
            return nullptr;
    }
    lockedOut.insert(file);
    std::fprintf(
        stderr, "Lumra: settings not saved: %s is held by someone else\n", qPrintable(lockName));
    return nullptr;
}

QMap<QString, QVariant> contentsOf(QSettings& settings)
{
    QMap<QString, QVariant> values;
    const QStringList keys = settings.allKeys();
    for (const QString& key : keys)
        values.insert(key, settings.value(key));
    return values;
}

bool syncToDisk(const QString& file)
{
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// Qt takes a store file of the size and modification time (in milliseconds) it read before
// for unchanged and answers from what it remembers. A store rewritten at the same size within
// the same millisecond would thus read as the old one. Each new version is given a time later
// than the one it replaces and than any this process gave that store before.
bool stampLaterThanBefore(const QString& scratchName, const QString& store)
{
    static QHash<QString, qint64> lastStamps;
    qint64 stamp = QDateTime::currentMSecsSinceEpoch();
    const QFileInfo before(store);
    if (before.exists())
        stamp = std::max(stamp, before.lastModified().toMSecsSinceEpoch() + 1);
    const auto last = lastStamps.constFind(store);
    if (last != lastStamps.constEnd())
        stamp = std::max(stamp, *last + 1);
    const timespec times[2] = { { stamp / 1000, (stamp % 1000) * 1'000'000 },
        { stamp / 1000, (stamp % 1000) * 1'000'000 } };
    if (::utimensat(AT_FDCWD, QFile::encodeName(scratchName).constData(), times, 0) != 0)
        return false;
    lastStamps.insert(store, stamp);
    return true;
}

// Applies one change to a store and writes it, merged into the store as it is on disk.
// QSaveFile in Qt 6.4 commits a file that was only partly written when the disk is full, and
// QSettings writes through it. So QSettings works on a scratch copy of the store, which is
// read back under a name of its own (so that Qt reads the file, not what it remembers of
// it) and replaces the store only when it holds everything.
RegStatus save(const KeyPlace& where, const std::function<void(QSettings&)>& change)
{
    const QFileInfo info(where.file);
    if (!isUsable(info) || (info.exists() && !info.isWritable()))
        return RegAccessDenied;
    if (!QDir().mkpath(info.absolutePath()))
        return RegAccessDenied;
    const auto lock = takeLock(where.file);
    if (!lock || !keepCopyOfUnreadable(where.file))
        return RegAccessDenied;

    // A store that is a link stays one; the file it points at is replaced.
    const QString target = info.isSymLink() ? info.symLinkTarget() : where.file;
    QByteArray original;
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
    if (info.exists()) {
        QFile current(target);
        if (!current.open(QIODevice::ReadOnly))
            return RegAccessDenied;
        original = current.readAll();
        if (current.error() != QFileDevice::NoError)
            return RegAccessDenied;
        permissions = current.permissions();
    }

    original = BinaryValueLines(original).remainder();
    QTemporaryFile scratch(target + QStringLiteral(".XXXXXX"));
    if (!scratch.open() || scratch.write(original) != original.size() || !scratch.flush())
        return RegAccessDenied;
    scratch.close();
    QMap<QString, QVariant> expected;
    {
        QSettings settings(scratch.fileName(), QSettings::NativeFormat);
        settings.beginGroup(where.group);
        change(settings);
        settings.endGroup();
        settings.sync();
        if (settings.status() == QSettings::AccessError)
            return RegAccessDenied;
        expected = contentsOf(settings);
    }
    const QString check = scratch.fileName() + QStringLiteral(".check");
    if (::link(
            QFile::encodeName(scratch.fileName()).constData(), QFile::encodeName(check).constData())
        != 0)
        return RegAccessDenied;
    QMap<QString, QVariant> written;
    {
        QSettings readBack(check, QSettings::NativeFormat);
        written = contentsOf(readBack);
    }
    QFile::remove(check);
    if (written != expected)
        return RegAccessDenied;

    if (!QFile::setPermissions(scratch.fileName(), permissions)
        || !stampLaterThanBefore(scratch.fileName(), where.file) || !syncToDisk(scratch.fileName())
        || ::rename(QFile::encodeName(scratch.fileName()).constData(),
               QFile::encodeName(target).constData())
            != 0)
        return RegAccessDenied;
    scratch.setAutoRemove(false);
    return RegSuccess;
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
        const auto key = settingsName(name);
        if (!key)
            return RegInvalidParameter;
        const QString value = fromSystem(text);
        return save(m_where, [&](QSettings& settings) { settings.setValue(*key, value); });
    }

    RegStatus deleteValue(const std::string& name) override
    {
        const auto key = settingsName(name);
        if (!key || !valueData(name))
            return RegFileNotFound;
        return save(m_where, [&](QSettings& settings) { settings.remove(*key); });
    }

private:
    // The value as the registry would hand it out: its text with a terminating zero.
    std::optional<std::string> valueData(const std::string& name) const override
    {
        const auto key = settingsName(name);
        if (!key || !isUsable(QFileInfo(m_where.file)))
            return std::nullopt;
        StoreView view(m_where.file);
        QSettings& settings = view.settings();
        settings.beginGroup(m_where.group);
        if (!settings.contains(*key))
            return std::nullopt;
        const QVariant value = settings.value(*key);
        // An unquoted value with commas in a hand-edited file reads as a list.
        const QString text = value.typeId() == QMetaType::QStringList
            ? value.toStringList().join(QStringLiteral(", "))
            : value.toString();
        std::string data = text.toLocal8Bit().toStdString();
        data.push_back('\0');
        return data;
    }

    KeyPlace m_where;
};

bool groupExists(const KeyPlace& where)
{
    StoreView view(where.file);
    view.settings().beginGroup(where.group);
    return !view.settings().allKeys().isEmpty();
}

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
    if (!where.group.isEmpty() && !groupExists(where))
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

    StoreView view(where.file);
    QSettings& settings = view.settings();
    settings.beginGroup(where.group);
    if (!where.group.isEmpty() && settings.allKeys().isEmpty())
        return RegFileNotFound;
    // As in the registry, only a key without subkeys can be deleted.
    bool hasSubkeys = !settings.childGroups().isEmpty();
    if (where.group.isEmpty()) {
        // An organisation's applications are the subkeys of its key.
        const QDir appFolder(info.absolutePath() + QLatin1Char('/') + info.completeBaseName());
        if (appFolder.exists()
            && !appFolder.entryList({ QStringLiteral("*.conf") }, QDir::Files).isEmpty())
            hasSubkeys = true;
    }
    if (hasSubkeys)
        return RegAccessDenied;
    if (!where.group.isEmpty())
        return save(where, [](QSettings& group) { group.remove(QString()); });
    const auto lock = takeLock(where.file);
    if (!lock || !keepCopyOfUnreadable(where.file))
        return RegAccessDenied;
    return QFile::remove(where.file) ? RegSuccess : RegAccessDenied;
}

} // namespace sys
