#include "Progress.h"

#include <algorithm>
#include <cmath>

namespace zandrel {

QString timeLeftText(qint64 done, qint64 total, qint64 elapsedMs)
{
    if (done <= 0)
        return {};
    const double seconds = double(std::max<qint64>(elapsedMs, 0)) / 1000.0 / double(done)
        * double(std::max<qint64>(total - done, 0));
    if (seconds < 60)
        return QStringLiteral("less than a minute left");
    const qint64 minutes = std::llround(seconds / 60);
    if (minutes < 60)
        return QStringLiteral("about %1 min left").arg(minutes);
    return QStringLiteral("about %1 h %2 min left").arg(minutes / 60).arg(minutes % 60);
}

void RunPace::start(qint64 first, qint64 total)
{
    m_first = first;
    m_total = total;
    m_timer.start();
}

QString RunPace::timeLeft(qint64 last) const
{
    return timeLeftText(last - m_first + 1, m_total - m_first + 1, m_timer.isValid() ? m_timer.elapsed() : 0);
}

} // namespace zandrel
