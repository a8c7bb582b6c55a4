#pragma once

// A virtual X screen for tests that run the real program: Xvfb on a free display, and the
// X tools (xdotool, xprop, ImageMagick's import) that act and look as a user would.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QtTest>

class VirtualScreen {
public:
    static constexpr int Width = 1280;
    static constexpr int Height = 800;

    VirtualScreen()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            return;
        for (int number = 90; number < 200; ++number) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number))
                || QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
                continue;
            m_display = QStringLiteral(":%1").arg(number);
            m_server.start(QStringLiteral("Xvfb"),
                { m_display, QStringLiteral("-screen"), QStringLiteral("0"),
                    QStringLiteral("%1x%2x24").arg(Width).arg(Height), QStringLiteral("-nolisten"),
                    QStringLiteral("tcp") });
            if (!m_server.waitForStarted(5000))
                continue;
            for (int wait = 0; wait < 100 && !isUp(); ++wait)
                QThread::msleep(50);
            if (isUp())
                return;
            m_server.kill();
            m_server.waitForFinished();
        }
        m_display.clear();
    }

    ~VirtualScreen()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(3000))
                m_server.kill();
            m_server.waitForFinished();
        }
    }

    VirtualScreen(const VirtualScreen&) = delete;
    VirtualScreen& operator=(const VirtualScreen&) = delete;

    bool isRunning() const { return !m_display.isEmpty(); }
    const QString& display() const { return m_display; }

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
        run(QStringLiteral("xdotool"),
            { QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("--window"),
                window, QString::number(at.x()), QString::number(at.y()) });
        run(QStringLiteral("xdotool"),
            { QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(count),
                QStringLiteral("--delay"), QStringLiteral("80"), QString::number(button) });
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
    bool isUp() const
    {
        int exitCode = -1;
        run(QStringLiteral("xdpyinfo"), {}, &exitCode);
        return exitCode == 0;
    }

    QProcess m_server;
    QString m_display;
};
