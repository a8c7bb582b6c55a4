#include "viewer/IntervalTimer.h"

IntervalTimer::IntervalTimer(int interval, QObject* parent)
    : QObject(parent)
    , m_timer(this)
    , m_interval(interval < 0 ? 0 : interval)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &IntervalTimer::Timer);
}

void IntervalTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    restart();
}

void IntervalTimer::setInterval(int milliseconds)
{
    m_interval = milliseconds < 0 ? 0 : milliseconds;
    restart();
}

void IntervalTimer::restart()
{
    // A QTimer with interval 0 fires on every pass of the event loop; ours never ticks.
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}
