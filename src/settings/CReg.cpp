#include "settings/CReg.h"

#include "platform/Texts.h"
#include "platform/zbasErrorTrap.h"
#include "system/Profile.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <array>
#include <memory>
#include <vector>

using Texts::CRLF;
using zbasErrorTrap::Handler;
using zbasErrorTrap::Raise;

namespace {

const QString ModuleLabel = QStringLiteral("CReg");

struct RootName {
    QLatin1StringView name;
    sys::RootKey key;
};

// Tried in this order; a name counts only when "\" follows it.
const std::array<RootName, 8> RootNames { {
    { QLatin1StringView("HKEY_CLASSES_ROOT"), sys::RootKey::ClassesRoot },
    { QLatin1StringView("HKCR"), sys::RootKey::ClassesRoot },
    { QLatin1StringView("HKEY_CURRENT_USER"), sys::RootKey::CurrentUser },
    { QLatin1StringView("HKCU"), sys::RootKey::CurrentUser },
    { QLatin1StringView("HKEY_LOCAL_MACHINE"), sys::RootKey::LocalMachine },
    { QLatin1StringView("HKLM"), sys::RootKey::LocalMachine },
    { QLatin1StringView("HKEY_USERS"), sys::RootKey::Users },
    { QLatin1StringView("HKU"), sys::RootKey::Users },
} };

// What the profile calls are given to fill: 4095 characters and the final zero.
constexpr std::size_t ProfileBufferSize = 4096;

// Any failed registry call, until a call says otherwise.
constexpr sys::RegStatus NotDone = sys::RegInvalidParameter;

std::string toSystem(const QString& text) { return text.toLocal8Bit().toStdString(); }
QString fromSystem(const std::string& bytes)
{
    return QString::fromLocal8Bit(QByteArray::fromStdString(bytes));
}
std::string pathToSystem(const QString& path) { return QFile::encodeName(path).toStdString(); }

std::optional<std::string> toSystem(const CReg::Variant& value)
{
    if (!value)
        return std::nullopt;
    return toSystem(*value);
}

// The registry calls take an empty name for a key's default value; "*" asks for it here.
std::string valueName(const QString& pstrKey)
{
    return pstrKey == QLatin1String("*") ? std::string() : toSystem(pstrKey);
}

// The lines of a text file; a line ends at CR LF, LF or CR.
QStringList readTextLines(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        Raise(zbasErrorTrap::FileNotFound);
    // Only a regular file is opened: a FIFO or a device must never block the viewer.
    if (!info.isFile())
        Raise(zbasErrorTrap::PathFileAccessError);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Raise(zbasErrorTrap::PathFileAccessError);
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        Raise(zbasErrorTrap::DeviceIOError);

    QStringList lines;
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype end = start;
        while (end < content.size() && content[end] != '\r' && content[end] != '\n')
            ++end;
        lines << QString::fromLocal8Bit(content.mid(start, end - start));
        if (end < content.size() && content[end] == '\r' && end + 1 < content.size()
            && content[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

} // namespace

void CReg::ParseRootKey(QString path, sys::RootKey& rootKey, QString& rest)
{
    for (const RootName& root : RootNames) {
        const qsizetype length = root.name.size();
        if (path.size() > length && path.left(length).toUpper() == root.name
            && path[length] == QLatin1Char('\\')) {
            rootKey = root.key;
            rest = path.mid(length + 1);
            return;
        }
    }
}

bool CReg::DelReg(QString psPath, QString pstrKey)
{
    auto onError = Handler::trap(ModuleLabel, QStringLiteral("DelReg"));
    sys::RootKey root = sys::RootKey::None;
    sys::RegStatus status = NotDone;
    onError([&] { ParseRootKey(psPath, root, psPath); });
    if (pstrKey.isEmpty()) {
        onError([&] { status = sys::deleteKey(root, toSystem(psPath)); });
    } else {
        std::unique_ptr<sys::RegistryKey> key;
        onError([&] { status = sys::openKey(root, toSystem(psPath), key); });
        if (status == sys::RegSuccess && key) {
            status = NotDone;
            onError([&] { status = key->deleteValue(valueName(pstrKey)); });
        }
    }
    return status == sys::RegSuccess;
}

QString CReg::GetReg(QString psPath, QString pstrKey, QString Default)
{
    auto onError = Handler::trap(ModuleLabel, QStringLiteral("GetReg"));
    sys::RootKey root = sys::RootKey::None;
    sys::RegStatus status = NotDone;
    std::unique_ptr<sys::RegistryKey> key;
    std::string name;
    std::uint32_t size = 0;
    std::string data;
    QString result;

    onError([&] { ParseRootKey(psPath, root, psPath); });
    onError([&] { result = Default; });
    onError([&] { status = sys::openKey(root, toSystem(psPath), key); });
    if (status != sys::RegSuccess || !key)
        return result;
    onError([&] { name = valueName(pstrKey); });
    status = NotDone;
    onError([&] { status = key->valueSize(name, size); });
    if (status != sys::RegSuccess || size == 0)
        return result;
    status = NotDone;
    onError([&] { status = key->readValue(name, size, data); });
    if (status != sys::RegSuccess)
        return result;
    key.reset();
    // The data less its last byte, the zero that ends a string value.
    onError([&] {
        data.resize(size, '\0');
        result = fromSystem(data.substr(0, size - 1));
    });
    return result;
}

bool CReg::SetReg(QString psPath, QString pstrKey, QString Setting)
{
    auto onError = Handler::trap(ModuleLabel, QStringLiteral("SetReg"));
    sys::RootKey root = sys::RootKey::None;
    sys::RegStatus status = NotDone;
    std::unique_ptr<sys::RegistryKey> key;
    onError([&] { ParseRootKey(psPath, root, psPath); });
    onError([&] { status = sys::createKey(root, toSystem(psPath), key); });
    if (status == sys::RegSuccess && key) {
        // A write that failed at run time did not write, whatever the create said.
        status = NotDone;
        onError([&] { status = key->writeString(valueName(pstrKey), toSystem(Setting)); });
    }
    return status == sys::RegSuccess;
}

QString CReg::GetProfile(QString psProfile, QString psSection, Variant pvKey, Variant pvDefault)
{
    auto onError = Handler::trap(ModuleLabel, QStringLiteral("GetProfile"));
    QString result;
    onError([&] {
        std::vector<char> buffer(ProfileBufferSize, '\0');
        const QString defaultText = pvDefault.value_or(QString());
        const std::size_t count = sys::readProfileString(toSystem(psSection), toSystem(pvKey),
            toSystem(defaultText), buffer, pathToSystem(psProfile));
        if (count != 0)
            result = fromSystem(std::string(buffer.data(), count));
    });
    return result;
}

bool CReg::SetProfile(QString psProfile, Variant psSection, Variant pvKey, Variant pvSetting)
{
    auto onError = Handler::trap(ModuleLabel, QStringLiteral("SetProfile"));
    bool result = false;
    onError([&] {
        const std::optional<std::string> section = toSystem(psSection);
        const std::string file = pathToSystem(psProfile);
        if (!pvKey)
            result = sys::writeProfileString(section, std::nullopt, std::nullopt, file);
        else if (!pvSetting)
            result = sys::writeProfileString(section, toSystem(pvKey), std::nullopt, file);
        else
            result = sys::writeProfileString(section, toSystem(pvKey), toSystem(pvSetting), file);
    });
    return result;
}

QString CReg::YesNo(QString psString)
{
    auto onError = Handler::trap(ModuleLabel, QStringLiteral("YesNo"));
    QString result;
    onError([&] {
        const QString word = psString.toUpper();
        const bool yes = word == QLatin1String("1") || word == QLatin1String("TRUE")
            || word == QLatin1String("YES") || word == QLatin1String("ON");
        result = yes ? QStringLiteral("Yes") : QStringLiteral("No");
    });
    return result;
}

bool CReg::TrueFalse(QString psString)
{
    auto onError = Handler::trap(ModuleLabel, QStringLiteral("TrueFalse"));
    bool result = false;
    onError([&] {
        const QString word = psString.toUpper();
        result = word == QLatin1String("1") || word == QLatin1String("TRUE")
            || word == QLatin1String("YES") || word == QLatin1String("ON")
            || word == QLatin1String("-1");
    });
    return result;
}

QString CReg::GetProfileSection(QString psFile, QString pstrSection)
{
    auto onError = Handler::trap(ModuleLabel, QStringLiteral("GetProfileSection"));
    QString result;
    onError([&] {
        const QStringList lines = readTextLines(psFile);
        const QString header = QLatin1Char('[') + pstrSection.toUpper() + QLatin1Char(']');
        bool inSection = false;
        QString collected;
        for (const QString& line : lines) {
            if (line.toUpper() == header)
                inSection = true;
            else if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
                inSection = false;
            else if (inSection)
                collected += line + CRLF;
        }
        while (collected.endsWith(CRLF))
            collected.chop(CRLF.size());
        if (!collected.isEmpty())
            collected += CRLF;
        result = collected;
    });
    return result;
}
