#pragma once

// A virtual X screen for tests that run the real program: Xvfb on a free display, and the
// X tools (xdotool, xprop) that act and look as a user would.

#include <QProcess>
#include <QRect>
#include <QtTest>
#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

class VirtualScreen {
public:
    static constexpr int Width = 1280;
    static constexpr int Height = 800;

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
        std::string number;
        char c = 0;
        while (m_pid > 0 && ::read(ready[0], &c, 1) == 1 && c != '\n')
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

    // Runs an X tool on this screen and returns what it printed (trimmed).
    QString run(const QString& program, const QStringList& arguments) const
    {
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), m_display);
        tool.setProcessEnvironment(environment);
        tool.start(program, arguments);
        if (!tool.waitForFinished(15000))
            tool.kill();
        tool.waitForFinished();
        return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
    }
    QString xdotool(const QStringList& arguments) const
    {
        return run(QStringLiteral("xdotool"), arguments);
    }

    // The windows a process shows, as X window ids.
    QStringList windowsOf(qint64 pid) const
    {
        return xdotool({ "search", "--onlyvisible", "--pid", QString::number(pid) })
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // The window's place and size on the screen.
    QRect geometry(const QString& window) const
    {
        QMap<QString, int> values; // lines X=, Y=, WIDTH=, HEIGHT=
        for (const QString& line : xdotool({ "getwindowgeometry", "--shell", window }).split('\n'))
            values[line.section('=', 0, 0)] = line.section('=', 1).toInt();
        return QRect(values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]);
    }

    // Gives the window the keyboard and types the keys (xdotool key names).
    void keys(const QString& window, const QStringList& names) const
    {
        xdotool(QStringList { "windowfocus", "--sync", window, "key", "--delay", "30" } + names);
    }

    // Clicks a mouse button (1 left, 3 right) at a point of the window, count times quickly.
    // One xdotool run: the server takes the move and the clicks in order.
    void click(const QString& window, QPoint at, int button, int count = 1) const
    {
        xdotool({ "mousemove", "--window", window, QString::number(at.x()), QString::number(at.y()),
            "click", "--repeat", QString::number(count), "--delay", "80",
            QString::number(button) });
    }

    // A window property as xprop prints it, or empty text when it is not set.
    QString property(const QString& window, const QString& name) const
    {
        const QString line = run(QStringLiteral("xprop"), { QStringLiteral("-id"), window, name });
        return line.contains(QLatin1String("not found")) ? QString() : line;
    }

private:
    pid_t m_pid = -1;
    QString m_display;
};
