#pragma once

// What the tests share: folders of files named by any bytes, pictures drawn into them, a
// fresh user profile, the modal questions answered from a script, the programs that would
// be started, and a viewer on a list of pictures.

#include "platform/Dialogs.h"
#include "platform/ProgramLauncher.h"
#include "platform/zbasErrorTrap.h"
#include "settings/basOptions.h"
#include "viewer/basGeneral.h"
#include "viewer/frmLumra.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <bit>
#include <csignal>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// The system's end of the viewer, for a test's table of the ways it closes: the end of the
// session, and the request that the program end (system/EndRequests), SIGTERM, which Windows
// makes only through the session.
inline void sessionEnd(frmLumra&)
{
    int none = 0; // no test can make a session manager, and the close never looks at it
    emit qGuiApp->commitDataRequest(reinterpret_cast<QSessionManager&>(none));
}
// The viewer's start-up, ending with the session, as the system may start it: under nohup,
// the hang-up signal ignored from the start, which must stay ignored; and with the folder
// locked, when there is one, so that it cannot be listed. Windows has no such signal, no
// folder mode that hides the names from their owner and no other user to become.
#ifdef _WIN32
inline void endRequest(frmLumra& viewer) { sessionEnd(viewer); }
inline void startUp(frmLumra& w, const std::string&) { w.endWithSession(), w.Form_Load(); }
#else
inline void endRequest(frmLumra&) { ::raise(SIGTERM); }
inline void startUp(frmLumra& viewer, const std::string& locked)
{
    std::signal(SIGHUP, SIG_IGN), viewer.endWithSession();
    // Root reads any folder, so the viewer starts as another user, who can reach the pictures.
    ::chmod((locked + "/..").c_str(), 0711);
    const bool other = !::chmod(locked.c_str(), 0311) && !::geteuid() && !::seteuid(65534);
    viewer.Form_Load();
    QVERIFY((!other || !::seteuid(0)) && std::signal(SIGHUP, SIG_IGN) == SIG_IGN);
}
#endif

// Colours alike within what JPEG and scaling change.
inline bool near(QColor a, QColor b, int tolerance = 40)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

class TestFolder {
public:
    TestFolder() { QVERIFY(m_dir.isValid()); }
    // Paths as the system writes them, as Lumra makes them.
    std::string path() const { return QDir::toNativeSeparators(m_dir.path()).toStdString(); }
    std::string path(const std::string& n) const { return path() + basGeneral::Separator() + n; }
    std::string file(const std::string& name, const std::string& content = "x") const
    {
        std::ofstream(path(name), std::ios::binary) << content;
        return path(name);
    }
    std::string folder(const std::string& name) const
    {
        std::filesystem::create_directory(path(name));
        return path(name);
    }

private:
    QTemporaryDir m_dir;
};

// Qt writes no GIF: a 128-colour table and the pixels LZW coded as an encoder codes them,
// the codes growing from 8 bits to 12 and the table, once full, kept for a thousand codes
// before a clear code starts a new one.
// Every pixel must be one of the palette's colours.
inline QByteArray gifBytes(const QImage& image, const QList<QColor>& palette)
{
    QByteArray bytes("GIF89a");
    const auto little16 = [&bytes](int value) {
        bytes.append(char(value & 0xFF)).append(char((value >> 8) & 0xFF));
    };
    little16(image.width());
    little16(image.height());
    bytes.append("\xF6\0\0", 3); // a global table of 128 colours
    for (int index = 0; index < 128; ++index) {
        const QColor colour = index < palette.size() ? palette[index] : QColor(Qt::black);
        bytes.append(char(colour.red())).append(char(colour.green())).append(char(colour.blue()));
    }
    bytes.append(char(0x2C));
    little16(0);
    little16(0);
    little16(image.width());
    little16(image.height());
    bytes.append("\0\7", 2); // minimum code size: clear is 128, end is 129
    QByteArray codes;
    quint32 bits = 0;
    int bitCount = 0;
    QHash<int, int> table; // a string's code by its prefix's code and last index
    int next = 130;
    int codesWhileFull = 0;
    const auto put = [&](int code) {
        bits |= quint32(code) << bitCount;
        bitCount += std::min(12, int(std::bit_width(unsigned(next - 1))));
        for (; bitCount >= 8; bits >>= 8, bitCount -= 8)
            codes.append(char(bits & 0xFF));
    };
    put(128);
    int prefix = -1;
    for (int at = 0; at < image.width() * image.height(); ++at) {
        const int index
            = int(palette.indexOf(QColor(image.pixel(at % image.width(), at / image.width()))));
        if (const auto string = table.constFind(prefix * 256 + index);
            prefix >= 0 && string != table.constEnd()) {
            prefix = *string;
            continue;
        }
        if (prefix >= 0) {
            put(prefix);
            if (next < 4096)
                table.insert(prefix * 256 + index, next++);
            else if (++codesWhileFull == 1000) // then a fresh table
                put(128), table.clear(), next = 130;
        }
        prefix = index;
    }
    put(prefix);
    next += next < 4096 ? 1 : 0; // the end code is read after the last string is entered
    put(129);
    if (bitCount > 0)
        codes.append(char(bits & 0xFF));
    for (qsizetype at = 0; at < codes.size(); at += 255)
        bytes.append(char(codes.mid(at, 255).size())).append(codes.mid(at, 255));
    return bytes.append("\0\x3B", 2);
}

// A picture as a file of the format Qt writes ("PNG", "JPG", "BMP").
inline QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format))
        qFatal("cannot write a %s picture", format);
    return bytes;
}

// A picture of one colour in the given format ("PNG", "JPG", "BMP", "GIF"), as bytes or as a
// file of the folder.
inline QByteArray pictureBytes(QSize size, QColor colour = Qt::darkCyan, const char* format = "PNG")
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    if (QByteArray(format) == "GIF")
        return gifBytes(image, { colour });
    return encoded(image, format);
}

inline std::string drawPicture(const TestFolder& dir, const std::string& name, QSize size,
    QColor colour = Qt::darkCyan, const char* format = "PNG")
{
    return dir.file(name, pictureBytes(size, colour, format).toStdString());
}

// A fresh user profile: its own home and configuration folder, and a new run of the options
// (nothing loaded, no store object yet).
class UserProfile {
public:
    UserProfile()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", m_home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", path(QStringLiteral("config")).toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", path(QStringLiteral("machine")).toLocal8Bit());
        QDir().mkpath(path(QStringLiteral("config")));
        QVERIFY(writeFile(path(QStringLiteral("config/user-dirs.dirs")),
            "XDG_PICTURES_DIR=\"$HOME/Pictures\"\n"));
#ifdef _WIN32 // the store is the user's registry: the tests run only in a Wine prefix
        QVERIFY(qEnvironmentVariableIsSet("WINEPREFIX"));
        QSettings(lumraConf(), QSettings::NativeFormat).remove(QString());
        QSettings(basOptions::ShellFoldersKey, QSettings::NativeFormat)
            .setValue("My Pictures", path("Pictures"));
#endif
        newRun();
    }
    QString path(const QString& r) const { return QDir::toNativeSeparators(m_home.filePath(r)); }
#ifdef _WIN32
    static QString lumraConf() { return basOptions::ProgramKey; }
#else
    QString lumraConf() const { return path(QStringLiteral("config/Morvanell/Lumra.conf")); }
#endif

    static void newRun()
    {
        basOptions::CurrentOptions = basOptions::OptionSet();
        basOptions::DefaultOptions = basOptions::OptionSet();
        basOptions::OptionStore.reset();
    }
    // What the store holds, as Qt reads it.
    QMap<QString, QString> stored() const
    {
        QMap<QString, QString> values;
        QSettings settings(lumraConf(), QSettings::NativeFormat);
        for (const QString& key : settings.allKeys())
            values.insert(key, settings.value(key).toString());
        return values;
    }
    void store(const QMap<QString, QString>& values) const
    {
        QSettings settings(lumraConf(), QSettings::NativeFormat);
        for (auto it = values.begin(); it != values.end(); ++it)
            settings.setValue(it.key(), it.value());
        settings.sync();
    }

private:
    QTemporaryDir m_home;
};

// Answers the program's modal questions from a script and records each, so no test waits on
// a dialog. A question without a scripted answer gets the cancelling answer.
class ScriptedDialogs final : public Dialogs {
public:
    enum class Kind { Message, Input, Folder, Open };
    struct Shown {
        Kind kind;
        QString text; // message, input prompt, folder prompt or document
        QString title; // input title or initial folder
        QString defaultText;
        MsgButtons buttons = MsgButtons::OK;
    };

    ScriptedDialogs() { setDialogs(this); }
    ~ScriptedDialogs() override { setDialogs(nullptr); }
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    void answerMessage(MsgAnswer answer) { m_messages.push_back(answer); }
    void answerInput(std::optional<QString> answer) { m_inputs.push_back(std::move(answer)); }
    void answerFolder(const QString& folder) { m_folders.push_back(folder); }
    // The next document handed over fails with this run-time error.
    void failOpen(int number, const QString& description)
    {
        m_openFailure = { number, description };
    }
    // Runs while a message box or the folder dialog is open, before it is answered.
    void whileOpen(std::function<void(const QString& text)> action)
    {
        m_whileOpen = std::move(action);
    }

    const std::vector<Shown>& shown() const { return m_shown; }
    int count(Kind kind) const
    {
        return int(std::count_if(
            m_shown.begin(), m_shown.end(), [kind](const Shown& s) { return s.kind == kind; }));
    }
    void clear() { m_shown.clear(); }

    MsgAnswer messageBox(const QString& text, MsgButtons buttons, MsgIcon) override
    {
        m_shown.push_back({ Kind::Message, text, {}, {}, buttons });
        if (m_whileOpen)
            m_whileOpen(text);
        const MsgAnswer cancel = buttons == MsgButtons::OK ? MsgAnswer::OK
            : buttons == MsgButtons::YesNo                 ? MsgAnswer::No
                                                           : MsgAnswer::Cancel;
        return next(m_messages, cancel);
    }
    std::optional<QString> inputBox(
        const QString& prompt, const QString& title, const QString& defaultText) override
    {
        m_shown.push_back({ Kind::Input, prompt, title, defaultText, MsgButtons::OKCancel });
        return next(m_inputs, std::optional<QString>());
    }
    QString chooseFolder(const QString& prompt, const QString& initialFolder) override
    {
        m_shown.push_back({ Kind::Folder, prompt, initialFolder, {}, MsgButtons::OKCancel });
        if (m_whileOpen)
            m_whileOpen(prompt);
        return next(m_folders, QString());
    }
    bool openDocument(const QString& target) override
    {
        m_shown.push_back({ Kind::Open, target, {}, {}, MsgButtons::OK });
        if (m_openFailure) {
            const auto [number, description] = *std::exchange(m_openFailure, std::nullopt);
            zbasErrorTrap::Raise(number, description);
        }
        return false; // as when no program takes the document
    }

private:
    template <typename T> static T next(std::deque<T>& answers, T otherwise)
    {
        if (answers.empty())
            return otherwise;
        T answer = std::move(answers.front());
        answers.pop_front();
        return answer;
    }
    std::deque<MsgAnswer> m_messages;
    std::deque<std::optional<QString>> m_inputs;
    std::deque<QString> m_folders;
    std::optional<std::pair<int, QString>> m_openFailure;
    std::vector<Shown> m_shown;
    std::function<void(const QString&)> m_whileOpen;
};

// Records every program the code would start, and starts none.
class RecordingLauncher final : public ProgramLauncher {
public:
    RecordingLauncher() { setProgramLauncher(this); }
    ~RecordingLauncher() override { setProgramLauncher(nullptr); }
    RecordingLauncher(const RecordingLauncher&) = delete;
    RecordingLauncher& operator=(const RecordingLauncher&) = delete;

    std::vector<QStringList> started; // each: the program, then its arguments

    bool startProgram(const QString& program, const QStringList& arguments) override
    {
        started.push_back(QStringList { program } + arguments);
        return true;
    }
};

// A viewer on a list of pictures 1.png ... N.png, with the options start-up leaves, walking
// the list in sorted order, on entry `at`.
struct Viewer {
    TestFolder dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<frmLumra> window;

    explicit Viewer(int pictures = 5, int at = 3)
    {
        basGeneral::PicturePaths.clear();
        for (int i = 1; i <= pictures; ++i)
            basGeneral::AddFile(drawPicture(dir, std::to_string(i) + ".png", { 8, 8 }));
        window = std::make_unique<frmLumra>(std::vector<std::string> {});
        basOptions::GetOptions();
        auto& options = basOptions::CurrentOptions;
        options.Sorted = true;
        options.Reverse = options.AutoAdvance = options.Transparent = options.StayOnTop = false;
        options.Folder = QString::fromStdString(dir.path());
        for (int i = 0; i < at; ++i)
            window->MovePic(1);
    }
    // The picture control on screen (0 or 1), or -1 when none is.
    int shownControl() const
    {
        for (int i : { 0, 1 })
            if (!window->imgPic[std::size_t(i)]->isHidden())
                return i;
        return -1;
    }
};
