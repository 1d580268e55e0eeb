#include "BackOff.h"

#include <algorithm>

namespace zandrel {

void BackOff::ended(const QString &server, bool limited, qint64 nowNs, qint64 pauseMs, qint64 atLeastMs)
{
    if (!limited) {
        m_holds.remove(server);
        return;
    }
    Hold &hold = m_holds[server];
    const qint64 before = hold.doublingMs > 0 ? hold.doublingMs : std::max<qint64>(pauseMs, 1000);
    hold.doublingMs = std::min(before * 2, MaxWaitMs);
    hold.waitMs = std::max(hold.doublingMs, atLeastMs);
    hold.dueNs = nowNs + hold.waitMs * 1'000'000;
}

qint64 BackOff::dueNs(const QString &server) const
{
    return m_holds.value(server).dueNs;
}

qint64 BackOff::waitMs(const QString &server) const
{
    return m_holds.value(server).waitMs;
}

} // namespace zandrel
