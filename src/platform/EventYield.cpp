#include "EventYield.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace zandrel {

void EventYield::yieldOnce()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool EventYield::waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QDeadlineTimer deadline(timeoutMs < 0 ? QDeadlineTimer::Forever : QDeadlineTimer(timeoutMs));
    // A timer event wakes the blocking wait when the deadline passes.
    QTimer wake;
    wake.setSingleShot(true);
    if (timeoutMs >= 0)
        wake.start(timeoutMs);
    while (!m_closing && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (done())
            return true;
    }
    return done();
}

} // namespace zandrel
