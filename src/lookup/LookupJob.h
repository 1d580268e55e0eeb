#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

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

// What the WHOIS and the RDAP lookup share: their limits and the timers that keep them, and the
// rule that a lookup that starts ends exactly once with lookupEnded(), never from inside start().
class LookupJob : public QObject
{
    Q_OBJECT
public:
    void setLimits(const LookupLimits &limits) { m_limits = limits; }
    const LookupLimits &limits() const { return m_limits; }
    bool inProgress() const { return m_active; }

signals:
    // Text for the response box, line ends included.
    void responseText(const QString &text);
    void lookupEnded();

protected:
    explicit LookupJob(QObject *parent = nullptr);

    // A new lookup begins; an end asked for before finishStarting() is posted, not emitted.
    void beginStart();
    void finishStarting() { m_starting = false; }
    // Stops the timers and emits lookupEnded(), once per lookup.
    void end();

    LookupLimits m_limits;
    QTimer m_connectWait;
    QTimer m_idle;
    QTimer m_total;
    bool m_active = false;

private:
    bool m_starting = false;
    quint64 m_serial = 0; // tells a posted end from the lookup it belongs to
};

} // namespace zandrel
