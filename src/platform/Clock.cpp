#include "Clock.h"

#include <QObject>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <limits>

namespace zandrel {

qint64 Clock::monotonicNs() const
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Clock::arm(Timer &timer) const
{
    if (!timer.m_timer) {
        timer.m_timer = std::make_unique<QTimer>();
        timer.m_timer->setSingleShot(true);
        timer.m_timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer.m_timer.get(), &QTimer::timeout, timer.m_timer.get(),
                         [&timer] { timer.fire(); });
    }
    // Rounded up to whole milliseconds; a timer that still comes early is armed again for the rest.
    const qint64 leftNs = std::max<qint64>(timer.m_dueNs - monotonicNs(), 0);
    const qint64 ms = std::min<qint64>((leftNs + 999'999) / 1'000'000, std::numeric_limits<int>::max());
    timer.m_timer->start(int(ms));
}

void Clock::disarm(Timer &timer) const
{
    if (timer.m_timer)
        timer.m_timer->stop();
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

QDateTime SystemClock::nowUtc() const
{
    return QDateTime::currentDateTimeUtc();
}

Timer::Timer(const Clock &clock, std::function<void()> fire)
    : m_clock(clock)
    , m_fire(std::move(fire))
{ }

Timer::~Timer()
{
    stop();
}

void Timer::startUntil(qint64 dueNs)
{
    if (m_active)
        m_clock.disarm(*this);
    m_dueNs = dueNs;
    m_active = true;
    m_clock.arm(*this);
}

void Timer::stop()
{
    if (!m_active)
        return;
    m_active = false;
    m_clock.disarm(*this);
}

void Timer::fire()
{
    if (!m_active)
        return;
    if (m_clock.monotonicNs() < m_dueNs) {
        m_clock.arm(*this);
        return;
    }
    m_active = false;
    m_clock.disarm(*this);
    // The callback may destroy this timer: it is the last thing done here.
    m_fire();
}

ManualClockBase::ManualClockBase()
    : m_context(std::make_unique<QObject>())
{ }

ManualClockBase::~ManualClockBase()
{
    for (Timer *timer : std::as_const(m_timers))
        timer->m_active = false;
}

void ManualClockBase::followRealTime()
{
    m_follows = true;
    m_nowNs = 0;
}

void ManualClockBase::arm(Timer &timer) const
{
    m_timers.push_back(&timer);
    if (m_follows)
        Clock::arm(timer);
    if (timer.m_dueNs <= monotonicNs())
        QMetaObject::invokeMethod(
            m_context.get(), [this] { const_cast<ManualClockBase *>(this)->fireDue(); },
            Qt::QueuedConnection);
}

void ManualClockBase::disarm(Timer &timer) const
{
    std::erase(m_timers, &timer);
    if (m_follows)
        Clock::disarm(timer);
}

qint64 ManualClockBase::nextDueInMs() const
{
    if (m_timers.empty())
        return -1;
    qint64 due = std::numeric_limits<qint64>::max();
    for (const Timer *timer : m_timers)
        due = std::min(due, timer->m_dueNs);
    return std::max<qint64>((due - monotonicNs() + 999'999) / 1'000'000, 0);
}

// Fires the earliest timer that is due, one at a time: each may arm or stop others.
void ManualClockBase::fireDue()
{
    for (;;) {
        const auto earliest
            = std::min_element(m_timers.begin(), m_timers.end(),
                               [](const Timer *a, const Timer *b) { return a->m_dueNs < b->m_dueNs; });
        if (earliest == m_timers.end() || (*earliest)->m_dueNs > monotonicNs())
            return;
        (*earliest)->fire();
    }
}

void ManualClockBase::advance(qint64 ms)
{
    if (m_follows) {
        m_nowNs += ms * 1'000'000;
        moved(ms * 1'000'000);
        fireDue();
        return;
    }
    const qint64 target = m_nowNs + ms * 1'000'000;
    for (;;) {
        fireDue();
        qint64 next = std::numeric_limits<qint64>::max();
        for (const Timer *timer : std::as_const(m_timers))
            next = std::min(next, timer->m_dueNs);
        if (next > target)
            break;
        moved(next - m_nowNs);
        m_nowNs = next;
    }
    moved(target - m_nowNs);
    m_nowNs = target;
}

} // namespace zandrel
