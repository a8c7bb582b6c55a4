// Preloaded (LD_PRELOAD) into a program that a launch benchmark starts, so the program itself
// is the one a user starts, unchanged. Once the program has painted what it is there to show
// and the window has gone to the screen, one byte is written to the descriptor named by
// LUMRA_BENCH_PAINT_FD and the program ends at once. What it is there to show: with
// LUMRA_BENCH_PAINTED=picture, a label holding a picture; otherwise its first window.

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPixmap>
#include <cstdlib>
#include <unistd.h>

namespace {

class PaintWatcher : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!m_seen && event->type() == QEvent::Paint && counts(watched)) {
            m_seen = true;
            // The window is flushed to the screen right after its widgets paint; a timer of
            // no interval fires after that.
            startTimer(0);
        }
        return false;
    }

protected:
    void timerEvent(QTimerEvent*) override { report(); }

private:
    bool counts(QObject* watched) const
    {
        const auto* widget = qobject_cast<const QWidget*>(watched);
        if (!m_picture)
            return widget && widget->isWindow();
        const auto* label = qobject_cast<const QLabel*>(watched);
        return label && !label->pixmap().isNull();
    }

    void report()
    {
        const char painted = 'p';
        const int fd = qEnvironmentVariableIntValue("LUMRA_BENCH_PAINT_FD");
        std::_Exit(::write(fd, &painted, 1) == 1 ? 0 : 1);
    }

    const bool m_picture = qgetenv("LUMRA_BENCH_PAINTED") == "picture";
    bool m_seen = false;
};

void watchPaints()
{
    QCoreApplication* application = QCoreApplication::instance();
    application->installEventFilter(new PaintWatcher(application));
}

// Run by the application's constructor.
const struct Registration {
    Registration() { qAddPreRoutine(watchPaints); }
} registration;

} // namespace
