// The options as loaded from whatever the store holds: the eleven stored texts (or a store
// file of any bytes) and any window place. Every loaded option is within its range; a value
// that is missing loads as its default; a plain number or a truth word loads as what it
// says; a folder loads as stored; and a store of plain values loads without a report.

#include "FuzzSupport.h"
#include "settings/basOptions.h"

#include <QRegularExpression>
#include <QSettings>
#include <array>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <limits>
#include <optional>
#include <sys/stat.h>

namespace {

using basOptions::CurrentOptions;
using basOptions::DefaultOptions;

std::filesystem::path storeFile;

const std::array<const char*, 11> Keys
    = { "WindowLeft", "WindowTop", "WindowWidth", "WindowHeight", "Folder", "Sorted", "Reverse",
          "StayOnTop", "Transparent", "AutoAdvance", "AutoAdvanceSeconds" };
constexpr std::size_t FolderKey = 4;
constexpr std::size_t SecondsKey = 10;

class FuzzedWindow final : public basOptions::OptionsWindow {
public:
    std::array<double, 4> place {};
    double leftTwips() const override { return place[0]; }
    double topTwips() const override { return place[1]; }
    double widthTwips() const override { return place[2]; }
    double heightTwips() const override { return place[3]; }
    int timerInterval() const override { return 2000; }
};

FuzzedWindow window;

double windowValue(fuzz::Bytes& in)
{
    static const double values[] = { 0.0, 0.5, 1.5, -0.5, 2147483647.4, 2147483647.5, -2147483648.5,
        -2147483648.4, 1e300, std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), 1440.0,
        12345.678, std::numeric_limits<double>::denorm_min(), -0.0 };
    const std::uint8_t choice = in.byte();
    if (choice < 0x80)
        return values[choice & 15];
    double value = 0;
    const std::string bytes = in.text(8);
    std::memcpy(&value, bytes.data(), std::min(bytes.size(), sizeof value));
    return value;
}

QString storedText(fuzz::Bytes& in)
{
    static const char* const texts[]
        = { "True", "FALSE", "true ", "1", "0", "-1", "2", "60", "61", "-0", "1.5", "2.5", "-2.5",
              "1e9", "1e10", "2147483647", "2147483648", "-2147483648", "-2147483649", "nan", "inf",
              "-inf", "0x10", " 7", "7 ", "", "yes", "1,5", "+3", "\xd9\xa3", "1e-400", "00060" };
    const std::uint8_t choice = in.byte();
    if (choice & 0x40) {
        const std::string bytes = in.text(24);
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return QString::fromUtf8(texts[choice & 31]);
}

// A whole number written the plain way: an optional minus and up to nine digits.
std::optional<std::int32_t> plainNumber(const QString& text)
{
    static const QRegularExpression plain(QStringLiteral("\\A-?[0-9]{1,9}\\z"));
    if (!plain.match(text).hasMatch())
        return std::nullopt;
    return text.toInt();
}

std::optional<bool> plainTruth(const QString& text)
{
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    if (const auto number = plainNumber(text))
        return *number != 0;
    return std::nullopt;
}

// A text with Qt's opening of a binary value right after a comma, an "=" or blanks is kept out of
// what Qt reads, for fear of what Qt would decode; it reads as missing.
bool mayBeTakenForBinary(QString text)
{
    text.remove(QLatin1Char(' ')).remove(QLatin1Char('\t'));
    for (const QLatin1String opening : { QLatin1String("@Variant("), QLatin1String("@DateTime(") })
        for (qsizetype at = text.indexOf(opening); at >= 0; at = text.indexOf(opening, at + 1))
            if (at == 0 || text[at - 1] == QLatin1Char(',') || text[at - 1] == QLatin1Char('='))
                return true;
    return false;
}

// Qt notices a changed store by its size and time; each input's store gets a time of its own.
void stampStore()
{
    static long second = 1'000'000'000;
    const timespec times[2] = { { ++second, 0 }, { second, 0 } };
    ::utimensat(AT_FDCWD, storeFile.c_str(), times, 0);
}

std::int32_t intField(const basOptions::OptionSet& options, std::size_t key)
{
    switch (key) {
    case 0: return options.WindowLeft;
    case 1: return options.WindowTop;
    case 2: return options.WindowWidth;
    case 3: return options.WindowHeight;
    default: return options.AutoAdvanceSeconds;
    }
}

bool boolField(const basOptions::OptionSet& options, std::size_t key)
{
    switch (key) {
    case 5: return options.Sorted;
    case 6: return options.Reverse;
    case 7: return options.StayOnTop;
    case 8: return options.Transparent;
    default: return options.AutoAdvance;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const std::filesystem::path home = fuzz::scratchFolder() / "home";
    const std::filesystem::path config = home / ".config";
    fuzz::makeFolder(config / "Morvanell");
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    storeFile = config / "Morvanell" / "Lumra.conf";
    fuzz::startApplication();
    basOptions::setOptionsWindow(&window);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::AnsweringDialogs dialogs;
    dialogs.reset();
    fuzz::Bytes in(data, size);
    const bool rawStore = (in.byte() & 1) != 0;
    for (double& value : window.place)
        value = windowValue(in);

    std::array<std::optional<QString>, 11> stored;
    if (rawStore) {
        std::ofstream(storeFile, std::ios::binary | std::ios::trunc) << in.rest();
    } else {
        // Not cleared through Qt: that would read what the last input left, and Qt itself
        // must never read a raw store.
        std::filesystem::remove(storeFile);
        QSettings settings(QString::fromStdString(storeFile.string()), QSettings::NativeFormat);
        for (std::size_t key = 0; key < Keys.size(); ++key) {
            if (in.byte() & 0x80)
                continue;
            stored[key] = storedText(in);
            settings.setValue(QLatin1String(Keys[key]), *stored[key]);
        }
        settings.sync();
    }
    stampStore();

    // Fields whose text does not convert keep what they held before; start from known values.
    CurrentOptions = {};
    CurrentOptions.WindowLeft = 111;
    CurrentOptions.Folder = QStringLiteral("before");
    CurrentOptions.Sorted = true;
    CurrentOptions.AutoAdvanceSeconds = 77;
    DefaultOptions = {};
    basOptions::GetOptions();

    fuzz::check(CurrentOptions.AutoAdvanceSeconds >= 0 && CurrentOptions.AutoAdvanceSeconds <= 60,
        "AutoAdvanceSeconds loads within 0 to 60");
    if (rawStore)
        return 0;

    bool allPlain = std::all_of(window.place.begin(), window.place.end(), [](double value) {
        const double rounded = std::nearbyint(value);
        return std::isfinite(rounded) && rounded >= std::numeric_limits<std::int32_t>::min()
            && rounded <= std::numeric_limits<std::int32_t>::max();
    });
    for (std::size_t key = 0; key < Keys.size(); ++key) {
        const std::string what = std::string(Keys[key]) + " = \""
            + (stored[key] ? stored[key]->toStdString() : std::string("(missing)")) + "\"";
        if (key == FolderKey) {
            const bool forgettable = stored[key] && mayBeTakenForBinary(*stored[key]);
            fuzz::check(CurrentOptions.Folder == stored[key].value_or(DefaultOptions.Folder)
                    || (forgettable && CurrentOptions.Folder == DefaultOptions.Folder),
                "a folder loads as stored", what);
        } else if (key < FolderKey || key == SecondsKey) {
            std::optional<std::int32_t> expected
                = stored[key] ? plainNumber(*stored[key]) : intField(DefaultOptions, key);
            allPlain = allPlain && expected.has_value();
            if (expected && key == SecondsKey && (*expected < 0 || *expected > 60))
                expected = 2;
            if (expected)
                fuzz::check(intField(CurrentOptions, key) == *expected,
                    "a plain number loads as itself", what);
        } else {
            const std::optional<bool> expected
                = stored[key] ? plainTruth(*stored[key]) : boolField(DefaultOptions, key);
            allPlain = allPlain && expected.has_value();
            if (expected)
                fuzz::check(boolField(CurrentOptions, key) == *expected,
                    "a truth word or number loads as what it says", what);
        }
    }
    if (allPlain)
        fuzz::check(dialogs.messages() == 0, "plain values load without a report",
            dialogs.lastMessage().toStdString());
    return 0;
}
