#include "Progress.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace zandrel {

QString durationText(double seconds)
{
    if (seconds < 60)
        return QStringLiteral("less than a minute");
    // Past 48 hours minutes mean nothing; the count of hours would be hard to read.
    if (seconds >= 48 * 3600.0) {
        const double hours = std::min(std::round(seconds / 3600), 1e15);
        const auto whole = qint64(hours);
        return QStringLiteral("about %1 days %2 h").arg(whole / 24).arg(whole % 24);
    }
    const qint64 minutes = std::llround(seconds / 60);
    if (minutes < 60)
        return QStringLiteral("about %1 min").arg(minutes);
    return QStringLiteral("about %1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}

QString timeLeftText(qint64 done, qint64 total, qint64 elapsedMs)
{
    if (done <= 0)
        return {};
    const double seconds = double(std::max<qint64>(elapsedMs, 0)) / 1000.0 / double(done)
        * double(std::max<qint64>(total - done, 0));
    return durationText(seconds) + QStringLiteral(" left");
}

QString largeSearchQuestion(qint64 names, qint64 pauseMs)
{
    if (names <= LargeSearch)
        return {};
    const double seconds = double(names) * double(std::max<qint64>(pauseMs, 0)) / 1000.0;
    QLocale grouped = QLocale::c();
    grouped.setNumberOptions(QLocale::DefaultNumberOptions);
    return QStringLiteral("This search looks up %1 names, one every %2 s: %3. Start it?")
        .arg(grouped.toString(names))
        .arg(QLocale::c().toString(double(pauseMs) / 1000.0, 'g', 6))
        .arg(durationText(seconds));
}

qint64 timeLeftMs(const QList<QueueLoad> &queues, qint64 unplanned, qint64 pauseMs)
{
    // In doubles: a run's names times a pause may pass what 64 bits hold.
    double busiest = 0;
    double queued = 0;
    for (const QueueLoad &queue : queues) {
        queued += double(queue.names);
        const qint64 perName = std::max<qint64>(pauseMs + queue.lookupMs, queue.spacingMs);
        busiest = std::max(busiest, double(queue.names) * double(std::max<qint64>(perName, 0)));
    }
    if (queued == 0)
        return qint64(
            std::min(double(std::max<qint64>(unplanned, 0)) * double(std::max<qint64>(pauseMs, 0)), 1e18));
    return qint64(std::min(busiest * (queued + double(std::max<qint64>(unplanned, 0))) / queued, 1e18));
}

QString timeLeftText(qint64 ms)
{
    return durationText(double(ms) / 1000.0) + QStringLiteral(" left");
}

} // namespace zandrel
