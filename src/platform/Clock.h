#pragma once

#include <QDateTime>

#include <functional>
#include <memory>

class QTimer;

namespace zandrel {

class Timer;

// The present, and the one source of every wait: the date and time for stamps, and a monotonic
// count of nanoseconds that is never set or stepped for pauses, holds and time limits. Timers made
// on a clock fire by it, so a test that holds its clock holds every deadline too.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // The same moment in UTC, for stamps.
    virtual QDateTime nowUtc() const { return now().toUTC(); }
    // Nanoseconds since an arbitrary origin, on the system's monotonic clock.
    virtual qint64 monotonicNs() const;

protected:
    friend class Timer;
    // Makes `timer` fire once its deadline has come; a real clock uses a precise QTimer.
    virtual void arm(Timer &timer) const;
    virtual void disarm(Timer &timer) const;
};

class SystemClock : public Clock
{
public:
    QDateTime now() const override;
    // Without the local time zone, which costs a look at the zone file on every call.
    QDateTime nowUtc() const override;
};

// A one-shot deadline on a clock: `fire` is called once the clock reaches it, never before, and
// never from inside start(). Starting it again moves the deadline; destroying it cancels it.
class Timer
{
public:
    Timer(const Clock &clock, std::function<void()> fire);
    ~Timer();
    Timer(const Timer &) = delete;
    Timer &operator=(const Timer &) = delete;

    void start(qint64 ms) { startUntil(m_clock.monotonicNs() + ms * 1'000'000); }
    // `dueNs` on the clock's monotonic count.
    void startUntil(qint64 dueNs);
    void stop();
    bool isActive() const { return m_active; }
    qint64 dueNs() const { return m_dueNs; }

private:
    friend class Clock;
    friend class ManualClockBase;
    // Called by the clock at the deadline.
    void fire();

    const Clock &m_clock;
    std::function<void()> m_fire;
    std::unique_ptr<QTimer> m_timer; // a real clock's
    qint64 m_dueNs = 0;
    bool m_active = false;
};

// A clock that moves only when told: tests advance it, and every timer due on the way fires at its
// own moment, in order. Timers already due fire on the next turn of the event loop. One that
// follows real time also moves by itself, as the system's monotonic clock does, its timers firing
// on real timers too: advancing it then skips time.
class ManualClockBase : public Clock
{
public:
    ManualClockBase();
    ~ManualClockBase() override;

    void followRealTime();
    qint64 monotonicNs() const override { return m_follows ? Clock::monotonicNs() + m_nowNs : m_nowNs; }
    // Moves the clock on by `ms`, firing each timer that falls due on the way at its deadline.
    void advance(qint64 ms);
    // The deadlines armed, earliest first.
    int armed() const { return int(m_timers.size()); }
    // The time until the next deadline, or -1 when none is armed.
    qint64 nextDueInMs() const;

protected:
    void arm(Timer &timer) const override;
    void disarm(Timer &timer) const override;
    // The wall clock moves with the monotonic one.
    virtual void moved(qint64 ns) = 0;

private:
    void fireDue();

    qint64 m_nowNs = 1'000'000'000; // following real time: how far it was skipped
    bool m_follows = false;
    mutable std::vector<Timer *> m_timers;
    std::unique_ptr<QObject> m_context; // for firing what is already due, once the caller returns
};

// A manual clock whose date and time start at `when`.
class ManualClock : public ManualClockBase
{
public:
    explicit ManualClock(const QDateTime &when)
        : moment(when)
    { }
    QDateTime now() const override { return moment; }
    QDateTime moment;

protected:
    void moved(qint64 ns) override { moment = moment.addMSecs(ns / 1'000'000); }
};

} // namespace zandrel
