#pragma once

// The slide-show timer: Enabled and Interval as the viewer uses them. An interval of 0
// never ticks, even when enabled, and every change of the interval starts a new count.

#include <QObject>
#include <QTimer>

class IntervalTimer : public QObject {
    Q_OBJECT
public:
    IntervalTimer(int interval, QObject* parent);

    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    int interval() const { return m_interval; }
    void setInterval(int milliseconds);
    // Milliseconds until the next tick, or -1 when no tick is coming.
    int remainingTime() const { return m_timer.remainingTime(); }

signals:
    void Timer();

private:
    void restart();

    QTimer m_timer;
    bool m_enabled = false;
    int m_interval;
};
