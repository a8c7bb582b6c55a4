#include "settings/basOptions.h"

#include "platform/zbasErrorTrap.h"

#include <array>
#include <cmath>
#include <limits>
#include <variant>

using zbasErrorTrap::Handler;
using zbasErrorTrap::Raise;
using namespace Qt::StringLiterals;

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

constexpr std::int32_t MaxSeconds = 60;

const OptionsWindow* optionsWindow = nullptr;

// The nearest whole number, ties to the even one (the default rounding mode).
std::int32_t wholeNumber(double value)
{
    const double rounded = std::nearbyint(value);
    if (!std::isfinite(rounded) || rounded < std::numeric_limits<std::int32_t>::min()
        || rounded > std::numeric_limits<std::int32_t>::max())
        Raise(zbasErrorTrap::Overflow);
    return static_cast<std::int32_t>(rounded);
}

// Where a default comes from: the row's text, the window's place once it has opened, or the
// user's picture folder as the shell records it.
enum class Default { Text, WindowPlace, PicturesFolder };

// The options in the order they are loaded and saved, with the field each one fills and its
// default. What the window holds while the viewer runs (its place and size, and the slide
// show's pace, which the keys and the seconds prompt change on the timer alone) is read
// from the window to be saved.
using Field = std::variant<std::int32_t OptionSet::*, QString OptionSet::*, bool OptionSet::*>;
using FromWindow = std::int32_t (*)(const OptionsWindow&);
struct Option {
    QLatin1StringView key;
    Field field;
    Default source;
    QLatin1StringView defaultText = {};
    FromWindow fromWindow = nullptr;
};
const std::array<Option, 11> Options { {
    { "WindowLeft"_L1, &OptionSet::WindowLeft, Default::WindowPlace, {},
        [](const OptionsWindow& window) { return wholeNumber(window.leftTwips()); } },
    { "WindowTop"_L1, &OptionSet::WindowTop, Default::WindowPlace, {},
        [](const OptionsWindow& window) { return wholeNumber(window.topTwips()); } },
    { "WindowWidth"_L1, &OptionSet::WindowWidth, Default::WindowPlace, {},
        [](const OptionsWindow& window) { return wholeNumber(window.widthTwips()); } },
    { "WindowHeight"_L1, &OptionSet::WindowHeight, Default::WindowPlace, {},
        [](const OptionsWindow& window) { return wholeNumber(window.heightTwips()); } },
    { "Folder"_L1, &OptionSet::Folder, Default::PicturesFolder },
    { "Sorted"_L1, &OptionSet::Sorted, Default::Text, "True"_L1 },
    { "Reverse"_L1, &OptionSet::Reverse, Default::Text, "False"_L1 },
    { "StayOnTop"_L1, &OptionSet::StayOnTop, Default::Text, "True"_L1 },
    { "Transparent"_L1, &OptionSet::Transparent, Default::Text, "False"_L1 },
    { "AutoAdvance"_L1, &OptionSet::AutoAdvance, Default::Text, "True"_L1 },
    // The pace is kept in whole seconds.
    { "AutoAdvanceSeconds"_L1, &OptionSet::AutoAdvanceSeconds, Default::Text, "2"_L1,
        [](const OptionsWindow& window) { return window.timerInterval() / 1000; } },
} };

CReg& store()
{
    if (!OptionStore)
        Raise(zbasErrorTrap::ObjectNotSet);
    return *OptionStore;
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
        options.AutoAdvanceSeconds = DefaultOptions.AutoAdvanceSeconds;
}

void SetOptionDefaults()
{
    DefaultOptions = TextDefaults();
    for (const Option& option : Options)
        if (option.source == Default::PicturesFolder)
            setFromText(DefaultOptions, option.field, GetMyPicturesFolder());
    TakeWindowDefaults();
}

} // namespace

OptionSet TextDefaults()
{
    OptionSet defaults;
    for (const Option& option : Options)
        if (option.source == Default::Text)
            setFromText(defaults, option.field, option.defaultText);
    return defaults;
}

void TakeWindowDefaults()
{
    for (const Option& option : Options)
        if (option.source == Default::WindowPlace && optionsWindow)
            DefaultOptions.*std::get<std::int32_t OptionSet::*>(option.field)
                = option.fromWindow(*optionsWindow);
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
    // The window's place in whole twips, as it was loaded, so that an unmoved window writes
    // nothing.
    OptionSet saved = CurrentOptions;
    for (const Option& option : Options) {
        if (option.fromWindow && optionsWindow)
            onError([&] {
                saved.*std::get<std::int32_t OptionSet::*>(option.field)
                    = option.fromWindow(*optionsWindow);
            });
    }
    onError([&] { keepSecondsInRange(saved); });
    for (const Option& option : Options) {
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
