#include "PaceState.h"

#include "platform/AppInfo.h"
#include "platform/Clock.h"
#include "search/Pace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QSaveFile>

#include <algorithm>
#include <set>

namespace zandrel {

namespace {

// A day's worth of queries at the highest budget is far below this; more is no file of ours.
constexpr qint64 MaxBytes = 64 << 20;

using Stamps = QHash<QString, std::set<qint64>>; // operator -> UTC milliseconds

Result<Stamps> readStamps(const QString &path)
{
    Stamps stamps;
    QFile file(path);
    if (!file.exists())
        return stamps;
    if (!file.open(QIODevice::ReadOnly))
        return Error(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    if (file.size() > MaxBytes)
        return Error(QStringLiteral("%1 is too large to be the pace state").arg(path));
    for (const QByteArray &line : file.read(MaxBytes).split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        if (tab <= 0)
            continue;
        std::set<qint64> &times = stamps[QString::fromUtf8(line.first(tab))];
        for (const QByteArray &word : line.sliced(tab + 1).split(',')) {
            bool ok = false;
            const qint64 ms = word.trimmed().toLongLong(&ok);
            if (ok && ms > 0)
                times.insert(ms);
        }
    }
    return stamps;
}

// The same query seen by this run and read back from the file may differ by a millisecond or two
// where the system's clocks drift apart: it is counted once.
void addOnce(std::set<qint64> &times, qint64 ms)
{
    const auto near = times.lower_bound(ms - 2);
    if (near == times.end() || *near > ms + 2)
        times.insert(ms);
}

// Monotonic nanoseconds and UTC milliseconds, through the present of both.
qint64 toUtcMs(qint64 monoNs, const Clock &clock)
{
    return clock.nowUtc().toMSecsSinceEpoch() - (clock.monotonicNs() - monoNs) / 1'000'000;
}

qint64 toMonoNs(qint64 utcMs, const Clock &clock)
{
    return clock.monotonicNs() - (clock.nowUtc().toMSecsSinceEpoch() - utcMs) * 1'000'000;
}

} // namespace

QString PaceState::standardPath()
{
    return AppInfo::stateFolder() + QStringLiteral("/paces.tsv");
}

Result<void> PaceState::load(Paces &paces, const Clock &clock) const
{
    if (m_path.isEmpty())
        return {};
    const Result<Stamps> stamps = readStamps(m_path);
    if (!stamps)
        return stamps.error();
    for (auto it = stamps->cbegin(); it != stamps->cend(); ++it) {
        OperatorPace *pace = paces.paceNamed(it.key());
        if (!pace)
            continue;
        std::set<qint64> times(it->cbegin(), it->cend());
        for (const qint64 ns : pace->starts())
            addOnce(times, toUtcMs(ns, clock));
        std::deque<qint64> starts;
        for (const qint64 ms : times)
            starts.push_back(toMonoNs(ms, clock));
        pace->setStarts(std::move(starts));
    }
    return {};
}

Result<void> PaceState::save(Paces &paces, const Clock &clock) const
{
    if (m_path.isEmpty() || paces.windowed().isEmpty())
        return {};
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(2000))
        return Error(QStringLiteral("%1 is locked by another run").arg(m_path));
    Result<Stamps> stamps = readStamps(m_path);
    if (!stamps)
        return stamps.error();
    for (const QString &name : paces.windowed()) {
        std::set<qint64> &times = stamps.value()[name];
        for (const qint64 ns :
             paces.paceNamed(name) ? paces.paceNamed(name)->starts() : std::deque<qint64> {})
            addOnce(times, toUtcMs(ns, clock));
    }
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return Error(QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString()));
    const qint64 nowMs = clock.nowUtc().toMSecsSinceEpoch();
    for (auto it = stamps->cbegin(); it != stamps->cend(); ++it) {
        // Only what a window still counts is kept: at most its count, none older than its period.
        const OperatorPace *pace = paces.paceNamed(it.key());
        qint64 longestMs = 0;
        int most = 0;
        for (const Budget &budget : pace ? pace->budgets() : QList<Budget> {}) {
            if (!budget.isRate()) {
                longestMs = std::max(longestMs, budget.periodMs);
                most = std::max(most, budget.count);
            }
        }
        QStringList kept;
        for (auto time = it->crbegin(); time != it->crend() && kept.size() < most; ++time) {
            if (*time > nowMs - longestMs)
                kept.prepend(QString::number(*time));
        }
        if (!kept.isEmpty())
            file.write((it.key() + u'\t' + kept.join(u',') + u'\n').toUtf8());
    }
    if (!file.commit())
        return Error(QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString()));
    return {};
}

} // namespace zandrel
