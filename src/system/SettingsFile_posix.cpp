#include "system/SettingsFile.h"

#include "system/RegularFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QSet>
#include <QSettings>
#include <QStringDecoder>
#include <QStringList>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sys {

namespace {

// Lumra's own stores hold a few short texts. A bigger file is not read at all, so nothing in
// it can make Qt allocate more than a few megabytes.
constexpr std::int64_t MaxFileSize = 1 << 20;
constexpr int LockWaitMs = 3000;

QString fromSystem(const std::string& file) { return QFile::decodeName(file.c_str()); }
QByteArray toSystem(const QString& file) { return QFile::encodeName(file); }

// A file that is a link stays one: what is read, kept and replaced is the file it points at.
QString fileBehind(const QFileInfo& info)
{
    return info.isSymLink() ? info.symLinkTarget() : info.filePath();
}

// Qt reads a value written as @Variant(...) or @DateTime(...) with QDataStream, which believes
// the lengths it finds there: a line of a few bytes can make it allocate gigabytes. Lumra only
// ever stores text, so such a line was never Lumra's, and it is left out of what Qt is given.
// A line is judged by what it could spell once Qt has read it: escapes decoded the way Qt
// decodes them (a hexadecimal or octal one to any character, an unknown one to nothing), line
// continuations followed, and quotes and blanks, which Qt may drop, set aside.
int digitValue(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    const char lower = char(ch | 0x20);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// The character an escape by number stands for: Qt takes every digit that follows and keeps
// the low sixteen bits.
char numberedCharacter(const QByteArray& content, qsizetype& at, int base, char first)
{
    unsigned value = base == 8 ? unsigned(first - '0') : 0;
    for (; at < content.size(); ++at) {
        const int digit = digitValue(content[at]);
        if (digit < 0 || digit >= base)
            break;
        value = ((value * unsigned(base)) + unsigned(digit)) & 0xffffu;
    }
    return value < 0x80 ? char(value) : '\x01';
}

// Reads one line from at, its ending included, and leaves at on the next line.
bool spellsBinaryValue(const QByteArray& content, qsizetype& at)
{
    static const QByteArray openings[]
        = { QByteArrayLiteral("@Variant("), QByteArrayLiteral("@DateTime(") };
    QByteArray spelt;
    const qsizetype end = content.size();
    while (at < end) {
        const char ch = content[at++];
        if (ch == '\n' || ch == '\r')
            break;
        if (ch == '"' || ch == ' ' || ch == '\t')
            continue;
        if (ch != '\\' || at == end) {
            if (ch != '\\')
                spelt.append(ch);
            continue;
        }
        const char escaped = content[at++];
        if (escaped == '\n' || escaped == '\r') {
            const char pair = escaped == '\n' ? '\r' : '\n';
            if (at < end && content[at] == pair)
                ++at;
        } else if (escaped == 'x' || (escaped >= '0' && escaped <= '7')) {
            spelt.append(numberedCharacter(content, at, escaped == 'x' ? 16 : 8, escaped));
        } else if (QByteArrayView("\"'\\?abfnrtv").contains(escaped)) {
            spelt.append('\x01'); // a character no opening holds
        }
        // Qt drops an unknown escape, backslash and character alike.
    }
    // Qt decodes an opening only where a value, or an item of a list, begins: after the "="
    // or a ",". Anything else before it makes it text ("@@" is how Qt writes a text that
    // begins with "@", "@String(" one that holds a zero).
    for (const QByteArray& opening : openings) {
        for (qsizetype found = spelt.indexOf(opening); found >= 0;
             found = spelt.indexOf(opening, found + 1)) {
            if (found == 0 || spelt[found - 1] == '=' || spelt[found - 1] == ',')
                return true;
        }
    }
    return false;
}

// The content without the lines that could hold such a value.
QByteArray withoutBinaryValues(const QByteArray& content)
{
    QByteArray kept;
    for (qsizetype at = 0; at < content.size();) {
        const qsizetype begin = at;
        if (!spellsBinaryValue(content, at))
            kept.append(content.constData() + begin, at - begin);
    }
    return kept;
}

// A file's bytes, or nothing when it is too big to be read or the read failed.
std::optional<QByteArray> contentOf(const RegularFile& opened)
{
    if (opened.size() > MaxFileSize)
        return std::nullopt;
    QByteArray content(qsizetype(opened.size()), Qt::Uninitialized);
    const std::int64_t got = opened.readAt(0, content.data(), content.size());
    if (got < 0)
        return std::nullopt;
    content.truncate(qsizetype(got));
    return content;
}

// Qt is only ever given a private copy of what it may read: it never reads a file itself,
// which might have changed since it was checked.
bool writeCopy(QTemporaryFile& copy, const QByteArray& content)
{
    const QByteArray safe = withoutBinaryValues(content);
    if (!copy.open() || copy.write(safe) != safe.size() || !copy.flush())
        return false;
    copy.close();
    return true;
}

SettingsValues valuesOf(QSettings& settings)
{
    SettingsValues values;
    const QStringList keys = settings.allKeys();
    for (const QString& key : keys) {
        const QVariant value = settings.value(key);
        // An unquoted value with commas in a hand-edited file reads as a list.
        const QString text = value.typeId() == QMetaType::QStringList
            ? value.toStringList().join(QStringLiteral(", "))
            : value.toString();
        values.emplace(key.toStdString(), text.toStdString());
    }
    return values;
}

// QSettings rewrites a file from what it understood of it, so lines it could not read (and
// comments) vanish on the next save. A file is clean when no line would be lost that way.
bool readsBackWhole(const QByteArray& content)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(content);
    if (decoder.hasError() || text.contains(QChar(0))
        || withoutBinaryValues(content).size() != content.size())
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

// Keeps the file as it is under a second name beside it, which the rewrite that follows
// leaves alone: it gives the file's own name a new file. A link takes neither room nor time,
// however big the file is, and keeps the file's permissions.
bool keepCopy(const QString& file)
{
    for (int n = 1; n <= 100; ++n) {
        const QString copyName = file + QStringLiteral(".bad")
            + (n > 1 ? QLatin1Char('.') + QString::number(n) : QString());
        if (::link(toSystem(file).constData(), toSystem(copyName).constData()) == 0) {
            std::fprintf(stderr, "Lumra: %s has lines that cannot be read; a copy was kept as %s\n",
                qPrintable(file), qPrintable(copyName));
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

// A file's bytes as a rewrite starts from: none when it is missing or too big to be read.
// Before a file is rewritten without lines QSettings cannot read, it is kept, so that nothing
// the user had is lost without a word. Nothing when the file cannot be read or kept.
std::optional<QByteArray> contentToRewrite(const QString& file)
{
    if (!QFileInfo::exists(file))
        return QByteArray();
    const auto opened = RegularFile::open(toSystem(file).toStdString());
    const auto content = opened ? contentOf(*opened) : std::nullopt;
    if (!opened || (!(content && readsBackWhole(*content)) && !keepCopy(file)))
        return std::nullopt;
    return content.value_or(QByteArray());
}

// QSettings waits without a time limit for its lock file, and for ever when that name is
// taken by a folder. Lumra takes the same lock with a time limit and holds it while it
// writes. A file whose lock cannot be had is left alone for the rest of the run, and that is
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

bool syncToDisk(const QString& file)
{
    QFile written(file);
    return written.open(QIODevice::ReadOnly) && ::fsync(written.handle()) == 0;
}

// Qt takes a file of the size and modification time (in milliseconds) it read before for
// unchanged and answers from what it remembers. A file rewritten at the same size within the
// same millisecond would thus read as the old one to a QSettings that read it before. Each new
// version is given a time later than the one it replaces and than any given before.
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
    if (::utimensat(AT_FDCWD, toSystem(scratchName).constData(), times, 0) != 0)
        return false;
    lastStamps.insert(store, stamp);
    return true;
}

} // namespace

SettingsValues readSettings(const std::string& file)
{
    // A file is read value by value, so the values of the last bytes read are kept: the same
    // bytes always hold the same values.
    static QByteArray lastContent;
    static SettingsValues lastValues;
    const auto opened = RegularFile::open(file);
    const auto content = opened ? contentOf(*opened) : std::nullopt;
    if (!content || content->isEmpty())
        return {};
    if (*content != lastContent) {
        QTemporaryFile copy(QDir::tempPath() + QStringLiteral("/lumra-settings-XXXXXX"));
        if (!writeCopy(copy, *content))
            return {};
        QSettings settings(copy.fileName(), QSettings::NativeFormat);
        lastValues = valuesOf(settings);
        lastContent = *content;
    }
    return lastValues;
}

// QSaveFile in Qt 6.4 commits a file that was only partly written when the disk is full, and
// QSettings writes through it. So QSettings works on a scratch copy of the file, which
// replaces the file only once it reads back as it should.
bool changeSettings(
    const std::string& fileName, const std::string& key, const std::optional<std::string>& text)
{
    const QString file = fromSystem(fileName);
    const QFileInfo info(file);
    if ((info.exists() && !(info.isFile() && info.isWritable()))
        || !QDir().mkpath(info.absolutePath()))
        return false;
    const QString target = fileBehind(info);
    const auto lock = takeLock(file);
    const auto original = lock ? contentToRewrite(target) : std::nullopt;
    QTemporaryFile scratch(target + QStringLiteral(".XXXXXX"));
    if (!original || !writeCopy(scratch, *original))
        return false;
    SettingsValues expected;
    {
        QSettings settings(scratch.fileName(), QSettings::NativeFormat);
        if (text)
            settings.setValue(QString::fromStdString(key), QString::fromStdString(*text));
        else
            settings.remove(QString::fromStdString(key));
        settings.sync();
        if (settings.status() == QSettings::AccessError)
            return false;
        expected = valuesOf(settings);
    }
    // Read back as any reader reads it: a copy cut short, or too big to be read, stays out.
    const SettingsValues written = readSettings(toSystem(scratch.fileName()).toStdString());
    const QFile::Permissions permissions
        = info.exists() ? QFileInfo(target).permissions() : QFile::ReadOwner | QFile::WriteOwner;
    if (written != expected || !QFile::setPermissions(scratch.fileName(), permissions)
        || !stampLaterThanBefore(scratch.fileName(), file) || !syncToDisk(scratch.fileName())
        || ::rename(toSystem(scratch.fileName()).constData(), toSystem(target).constData()) != 0)
        return false;
    scratch.setAutoRemove(false);
    return true;
}

bool removeSettings(const std::string& fileName)
{
    const QString file = fromSystem(fileName);
    const auto lock = takeLock(file);
    return lock && contentToRewrite(fileBehind(QFileInfo(file))) && QFile::remove(file);
}

} // namespace sys
