#pragma once

// A virtual X screen for tests that run the real program: Xvfb on a free display, and the
// X tools (xdotool, xprop, ImageMagick's import) that act and look as a user would.

#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>
#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

class VirtualScreen {
public:
    static constexpr int Width = 1280;
    static constexpr int Height = 800;

    // Works before the application object exists, so a test may point the application at
    // this screen.
    VirtualScreen()
    {
        // Xvfb picks a free display itself and writes its number once it takes clients, so
        // tests that run side by side never share or race for a display.
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            const std::string fd = std::to_string(ready[1]);
            const std::string size = std::to_string(Width) + "x" + std::to_string(Height) + "x24";
            // -noreset: by default Xvfb resets whenever its last client leaves, and a program
            // that connects in that moment is refused.
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-screen", "0",
                size.c_str(), "-nolisten", "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ready[1]);
        if (m_pid < 0) {
            ::close(ready[0]);
            return;
        }
        std::string number;
        char c = 0;
        while (::read(ready[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(ready[0]);
        if (!number.empty())
            m_display = QLatin1Char(':') + QString::fromStdString(number);
    }

    ~VirtualScreen()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    VirtualScreen(const VirtualScreen&) = delete;
    VirtualScreen& operator=(const VirtualScreen&) = delete;

    // The display name, or empty text when Xvfb is not installed or did not start.
    const QString& display() const { return m_display; }
    bool isRunning() const { return !m_display.isEmpty(); }

    // Runs an X tool on this screen and returns what it printed (trimmed).
    QString run(const QString& program, const QStringList& arguments, int* exitCode = nullptr) const
    {
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), m_display);
        tool.setProcessEnvironment(environment);
        tool.start(program, arguments);
        if (!tool.waitForFinished(15000)) {
            tool.kill();
            tool.waitForFinished();
        }
        if (exitCode)
            *exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
        return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
    }

    // The windows a process shows, as X window ids.
    QStringList windowsOf(qint64 pid) const
    {
        return run(QStringLiteral("xdotool"),
            { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                QString::number(pid) })
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QString title(const QString& window) const
    {
        return run(QStringLiteral("xdotool"), { QStringLiteral("getwindowname"), window });
    }

    // The window's place and size on the screen.
    QRect geometry(const QString& window) const
    {
        const QString info = run(QStringLiteral("xwininfo"), { QStringLiteral("-id"), window });
        auto field = [&](const QString& name) {
            const qsizetype at = info.indexOf(name);
            return at < 0
                ? -1
                : info.mid(at + name.size()).section(QLatin1Char('\n'), 0, 0).trimmed().toInt();
        };
        return QRect(field(QStringLiteral("Absolute upper-left X:")),
            field(QStringLiteral("Absolute upper-left Y:")), field(QStringLiteral("Width:")),
            field(QStringLiteral("Height:")));
    }

    // Gives the window the keyboard and types the keys (xdotool key names).
    void keys(const QString& window, const QStringList& names) const
    {
        run(QStringLiteral("xdotool"),
            { QStringLiteral("windowfocus"), QStringLiteral("--sync"), window });
        run(QStringLiteral("xdotool"),
            QStringList { QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30") }
                + names);
    }

    // Clicks a mouse button (1 left, 2 middle, 3 right) at a point of the window, count times.
    void click(const QString& window, QPoint at, int button, int count = 1) const
    {
        // xdotool's own --sync waits for the pointer to move, which is forever when it is
        // already at that point; here the wait is for the pointer to be there.
        run(QStringLiteral("xdotool"),
            { QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                QString::number(at.x()), QString::number(at.y()) });
        const QPoint target = geometry(window).topLeft() + at;
        QDeadlineTimer deadline(15000);
        while (pointer() != target && !deadline.hasExpired())
            QTest::qWait(20);
        run(QStringLiteral("xdotool"),
            { QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(count),
                QStringLiteral("--delay"), QStringLiteral("80"), QString::number(button) });
    }

    // Where the pointer is on the screen.
    QPoint pointer() const
    {
        const QStringList shell = run(QStringLiteral("xdotool"),
            { QStringLiteral("getmouselocation"), QStringLiteral("--shell") })
                                      .split(QLatin1Char('\n'));
        QPoint at(-1, -1);
        for (const QString& line : shell) {
            if (line.startsWith(QLatin1String("X=")))
                at.setX(line.mid(2).toInt());
            else if (line.startsWith(QLatin1String("Y=")))
                at.setY(line.mid(2).toInt());
        }
        return at;
    }

    // The value of a window property as xprop prints it, or empty text when it is not set.
    QString property(const QString& window, const QString& name) const
    {
        const QString line = run(QStringLiteral("xprop"), { QStringLiteral("-id"), window, name });
        return line.contains(QLatin1String("not found")) ? QString() : line;
    }

    QImage screenshot() const
    {
        QProcess import;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), m_display);
        import.setProcessEnvironment(environment);
        import.start(QStringLiteral("import"),
            { QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("png:-") });
        import.waitForFinished(15000);
        return QImage::fromData(import.readAllStandardOutput(), "PNG");
    }

private:
    pid_t m_pid = -1;
    QString m_display;
};
