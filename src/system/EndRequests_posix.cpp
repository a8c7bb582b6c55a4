#include "system/EndRequests.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace sys {

namespace {

// The handler only writes a byte into a pipe; the event loop reads it and does the rest.
int wakeUp[2] = { -1, -1 };

std::function<void()>& endHandler()
{
    static std::function<void()> handler;
    return handler;
}

void onSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeUp[1], &byte, 1);
    errno = saved;
}

} // namespace

void watchEndRequests(std::function<void()> onEnd)
{
    endHandler() = std::move(onEnd);
    if (wakeUp[0] >= 0 || !QCoreApplication::instance())
        return;
    if (::pipe2(wakeUp, O_CLOEXEC | O_NONBLOCK) != 0) {
        wakeUp[0] = wakeUp[1] = -1;
        return;
    }
    auto* notifier
        = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char bytes[64];
        while (::read(wakeUp[0], bytes, sizeof bytes) > 0) { }
        if (endHandler())
            endHandler()();
    });
    for (const int number : { SIGTERM, SIGHUP, SIGINT }) {
        struct sigaction previous { };
        if (::sigaction(number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        struct sigaction action { };
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(number, &action, nullptr);
    }
}

} // namespace sys
