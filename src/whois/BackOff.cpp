#include "BackOff.h"

#include <algorithm>

namespace zandrel {

void BackOff::ended(const QString &server, bool limited, const QDateTime &when, qint64 pauseMs)
{
    if (!limited) {
        m_holds.remove(server);
        return;
    }
    Hold &hold = m_holds[server];
    const qint64 before = hold.waitMs > 0 ? hold.waitMs : std::max<qint64>(pauseMs, 1000);
    hold.waitMs = std::min(before * 2, MaxWaitMs);
    hold.due = when.addMSecs(hold.waitMs);
}

QDateTime BackOff::dueAt(const QString &server) const
{
    return m_holds.value(server).due;
}

qint64 BackOff::waitMs(const QString &server) const
{
    return m_holds.value(server).waitMs;
}

} // namespace zandrel
