#include "settings/basOptions.h"

#include "platform/zbasErrorTrap.h"

#include <array>
#include <cmath>
#include <limits>
#include <variant>

using zbasErrorTrap::Handler;
using zbasErrorTrap::Raise;

namespace basOptions {

OptionSet CurrentOptions;
OptionSet DefaultOptions;
std::unique_ptr<CReg> OptionStore;
const QString ProgramKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Morvanell\\Lumra");
const QString ShellFoldersKey = QStringLiteral(
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");

namespace {

const QString ModuleLabel = QStringLiteral("Options");
const QString MyPicturesValue = QStringLiteral("My Pictures");

constexpr std::int32_t DefaultSeconds = 2;
constexpr std::int32_t MaxSeconds = 60;

const OptionsWindow* optionsWindow = nullptr;

// The options in the order they are loaded and saved, with the field each one fills.
using Field = std::variant<std::int32_t OptionSet::*, QString OptionSet::*, bool OptionSet::*>;
struct Option {
    QLatin1StringView key;
    Field field;
    bool fromWindow = false; // saved from the window itself, not from CurrentOptions
};
const std::array<Option, 11> Options { {
    { QLatin1StringView("WindowLeft"), &OptionSet::WindowLeft, true },
    { QLatin1StringView("WindowTop"), &OptionSet::WindowTop, true },
    { QLatin1StringView("WindowWidth"), &OptionSet::WindowWidth, true },
    { QLatin1StringView("WindowHeight"), &OptionSet::WindowHeight, true },
    { QLatin1StringView("Folder"), &OptionSet::Folder },
    { QLatin1StringView("Sorted"), &OptionSet::Sorted },
    { QLatin1StringView("Reverse"), &OptionSet::Reverse },
    { QLatin1StringView("StayOnTop"), &OptionSet::StayOnTop },
    { QLatin1StringView("Transparent"), &OptionSet::Transparent },
    { QLatin1StringView("AutoAdvance"), &OptionSet::AutoAdvance },
    { QLatin1StringView("AutoAdvanceSeconds"), &OptionSet::AutoAdvanceSeconds },
} };

CReg& store()
{
    if (!OptionStore)
        Raise(zbasErrorTrap::ObjectNotSet);
    return *OptionStore;
}

// The nearest whole number, ties to the even one (the default rounding mode).
std::int32_t wholeNumber(double value)
{
    const double rounded = std::nearbyint(value);
    if (!std::isfinite(rounded) || rounded < std::numeric_limits<std::int32_t>::min()
        || rounded > std::numeric_limits<std::int32_t>::max())
        Raise(zbasErrorTrap::Overflow);
    return static_cast<std::int32_t>(rounded);
}

double number(const QString& text)
{
    bool converted = false;
    const double value = text.toDouble(&converted);
    if (!converted || !std::isfinite(value))
        Raise(zbasErrorTrap::TypeMismatch);
    return value;
}

bool truthValue(const QString& text)
{
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    return number(text) != 0;
}

QString truthText(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

// The stored text of a field.
QString textOf(const OptionSet& options, const Field& field)
{
    struct {
        const OptionSet& options;
        QString operator()(std::int32_t OptionSet::*member) const
        {
            return QString::number(options.*member);
        }
        QString operator()(QString OptionSet::*member) const { return options.*member; }
        QString operator()(bool OptionSet::*member) const { return truthText(options.*member); }
    } text { options };
    return std::visit(text, field);
}

// Sets a field from its stored text; a text that does not convert leaves the field as it was.
void setFromText(OptionSet& options, const Field& field, const QString& stored)
{
    struct {
        OptionSet& options;
        const QString& stored;
        void operator()(std::int32_t OptionSet::*member) const
        {
            options.*member = wholeNumber(number(stored));
        }
        void operator()(QString OptionSet::*member) const { options.*member = stored; }
        void operator()(bool OptionSet::*member) const { options.*member = truthValue(stored); }
    } assign { options, stored };
    std::visit(assign, field);
}

void keepSecondsInRange(OptionSet& options)
{
    if (options.AutoAdvanceSeconds < 0 || options.AutoAdvanceSeconds > MaxSeconds)
        options.AutoAdvanceSeconds = DefaultSeconds;
}

void SetOptionDefaults()
{
    TakeWindowDefaults();
    DefaultOptions.Folder = GetMyPicturesFolder();
    DefaultOptions.Sorted = true;
    DefaultOptions.Reverse = false;
    DefaultOptions.StayOnTop = true;
    DefaultOptions.Transparent = false;
    DefaultOptions.AutoAdvance = true;
    DefaultOptions.AutoAdvanceSeconds = DefaultSeconds;
}

} // namespace

void TakeWindowDefaults()
{
    if (optionsWindow) {
        DefaultOptions.WindowLeft = wholeNumber(optionsWindow->leftTwips());
        DefaultOptions.WindowTop = wholeNumber(optionsWindow->topTwips());
        DefaultOptions.WindowWidth = wholeNumber(optionsWindow->widthTwips());
        DefaultOptions.WindowHeight = wholeNumber(optionsWindow->heightTwips());
    }
}

namespace {

// "Sub\Name" is the value Name of the program key's subkey Sub.
void splitKey(const QString& key, QString& path, QString& valueName)
{
    const qsizetype last = key.lastIndexOf(QLatin1Char('\\'));
    if (last < 0) {
        path = ProgramKey;
        valueName = key;
    } else {
        path = ProgramKey + QLatin1Char('\\') + key.left(last + 1);
        valueName = key.mid(last + 1);
    }
}

} // namespace

void setOptionsWindow(const OptionsWindow* window) { optionsWindow = window; }

void GetOptions()
{
    auto onError = Handler::trap(ModuleLabel, QStringLiteral("GetOptions"));
    onError([] {
        if (!OptionStore)
            OptionStore = std::make_unique<CReg>();
    });
    onError([] { SetOptionDefaults(); });
    for (const Option& option : Options) {
        onError([&] {
            const QString stored = GetOption(option.key, textOf(DefaultOptions, option.field));
            setFromText(CurrentOptions, option.field, stored);
        });
    }
    onError([] { keepSecondsInRange(CurrentOptions); });
}

void SetOptions()
{
    auto onError = Handler::trap(ModuleLabel, QStringLiteral("SetOptions"));
    // The timer owns the slide-show pace while the viewer runs; whole seconds are kept.
    if (optionsWindow)
        onError([] { CurrentOptions.AutoAdvanceSeconds = optionsWindow->timerInterval() / 1000; });
    onError([] { keepSecondsInRange(CurrentOptions); });

    OptionSet saved = CurrentOptions;
    if (optionsWindow) {
        // Whole twips, as they were loaded, so that an unmoved window writes nothing.
        onError([&] { saved.WindowLeft = wholeNumber(optionsWindow->leftTwips()); });
        onError([&] { saved.WindowTop = wholeNumber(optionsWindow->topTwips()); });
        onError([&] { saved.WindowWidth = wholeNumber(optionsWindow->widthTwips()); });
        onError([&] { saved.WindowHeight = wholeNumber(optionsWindow->heightTwips()); });
    }
    for (const Option& option : Options) {
        if (option.fromWindow && !optionsWindow)
            continue;
        onError([&] {
            SetOption(
                option.key, textOf(saved, option.field), textOf(DefaultOptions, option.field));
        });
    }
}

QString GetOption(QString key, QString defaultText)
{
    auto onError = Handler::trap(ModuleLabel, QStringLiteral("GetOption"));
    QString path;
    QString valueName;
    QString result;
    onError([&] { splitKey(key, path, valueName); });
    onError([&] { result = store().GetReg(path, valueName, defaultText); });
    return result;
}

void SetOption(QString key, QString value, QString defaultText)
{
    auto onError = Handler::trap(ModuleLabel, QStringLiteral("SetOption"));
    QString path;
    QString valueName;
    QString current;
    onError([&] { splitKey(key, path, valueName); });
    onError([&] { current = store().GetReg(path, valueName, defaultText); });
    onError([&] {
        if (value != current)
            store().SetReg(path, valueName, value);
    });
}

QString GetMyPicturesFolder()
{
    auto onError = Handler::trap(ModuleLabel, QStringLiteral("GetMyPicturesFolder"));
    QString result;
    onError([&] {
        if (OptionStore)
            result = OptionStore->GetReg(ShellFoldersKey, MyPicturesValue, QString());
    });
    return result;
}

} // namespace basOptions
