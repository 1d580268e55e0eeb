#include "EventYield.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace zandrel {

void EventYield::yieldOnce()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool EventYield::waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QDeadlineTimer deadline(timeoutMs < 0 ? QDeadlineTimer::Forever
                                          : QDeadlineTimer(timeoutMs, Qt::PreciseTimer));
    // A precise timer wakes the blocking wait when the deadline passes; should it fire early
    // anyway, it is started again for what is left, so the wait never blocks past the deadline.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!m_closing && !deadline.hasExpired()) {
        if (timeoutMs >= 0 && !wake.isActive())
            wake.start(std::max<qint64>(1, deadline.remainingTime()));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (done())
            return true;
    }
    return done();
}

} // namespace zandrel
