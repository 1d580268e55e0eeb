#pragma once

#include <QHash>
#include <QString>

namespace zandrel {

// How long to hold off each server that limited or refused us: after such an answer the next
// lookup to it waits twice as long as the one before (starting from the pause), up to 5 minutes;
// a normal answer brings it back to the pause.
class BackOff
{
public:
    static constexpr qint64 MaxWaitMs = 5 * 60 * 1000;

    // Notes how a lookup to `server` ended at `nowNs` on the monotonic clock; a limited one holds
    // it off at least `atLeastMs` (the server's own Retry-After) whatever the doubling says.
    void ended(const QString &server, bool limited, qint64 nowNs, qint64 pauseMs, qint64 atLeastMs = 0);
    // When, on the monotonic clock, the next lookup to `server` may go; 0 when it need not wait.
    qint64 dueNs(const QString &server) const;
    qint64 waitMs(const QString &server) const;

private:
    struct Hold
    {
        qint64 doublingMs = 0;
        qint64 waitMs = 0;
        qint64 dueNs = 0;
    };
    QHash<QString, Hold> m_holds;
};

} // namespace zandrel
