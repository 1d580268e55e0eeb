#pragma once

#include "lookup/Job.h"
#include "platform/Clock.h"

#include <QString>

namespace zandrel {

// How long a lookup may take. A server that never answers, drips bytes or never stops sending
// must not hold the program: past these limits the lookup is closed and ends the normal way.
struct LookupLimits
{
    int connectWaitMs = 10'000;
    int idleMs = 30'000;
    int totalMs = 60'000;
    qint64 maxBytes = 1 << 20;
};

// The lines that close a lookup when a limit runs out, the same for WHOIS and RDAP.
QString idleLimitLine(const LookupLimits &limits);
QString totalLimitLine(const LookupLimits &limits);
QString sizeLimitLine(const LookupLimits &limits);

// What the WHOIS and the RDAP lookup share: their limits, kept by deadlines on the clock, and the
// text for the response box as it arrives. A lookup is a job: it ends once with result().
class LookupJob : public Job
{
    Q_OBJECT
public:
    void setLimits(const LookupLimits &limits) { m_limits = limits; }
    const LookupLimits &limits() const { return m_limits; }
    bool inProgress() const { return m_active; }

signals:
    // Text for the response box, line ends included.
    void responseText(const QString &text);

protected:
    explicit LookupJob(const Clock &clock, QObject *parent = nullptr);

    // The exchange is over: the deadlines stop and the result goes out.
    void end();

    const Clock &m_clock;
    LookupLimits m_limits;
    Timer m_connectWait;
    Timer m_idle;
    Timer m_total;
    bool m_active = false;

private:
    virtual void connectWaitRanOut() = 0;
    virtual void idleRanOut() = 0;
    virtual void totalRanOut() = 0;
};

} // namespace zandrel
