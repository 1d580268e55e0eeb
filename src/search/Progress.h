#pragma once

#include <QList>
#include <QString>

namespace zandrel {

// A span of time as the user reads it: "less than a minute", "about 12 min", "about 2 h 41 min",
// past 48 hours "about 3 days 5 h".
QString durationText(double seconds);

// The time a run still needs, from its pace so far: "about 2 h 41 min left", "about 12 min left",
// "less than a minute left"; empty before the first combination is done.
QString timeLeftText(qint64 done, qint64 total, qint64 elapsedMs);

// One operator's share of what a run still asks: the names waiting at its servers (those under way
// included), how long a lookup there has taken on average (0 before one has ended), and the least
// time between two of its queries that its pace allows (0 without a pace).
struct QueueLoad
{
    qint64 names = 0;
    qint64 lookupMs = 0;
    qint64 spacingMs = 0;
};

// The time a run still needs, reckoned operator by operator: each name waiting there takes the
// pause and the lookup time, or the pace's spacing when that is longer; the operators are asked
// side by side, so the busiest one's total is the run's. Names not yet given to a server
// (`unplanned`) are taken to go as the others.
qint64 timeLeftMs(const QList<QueueLoad> &queues, qint64 unplanned, qint64 pauseMs);
// "about 12 min left"
QString timeLeftText(qint64 ms);

// A search of more names than this is asked about before it starts.
inline constexpr qint64 LargeSearch = 100'000;

// The question asked before a search of `names` names with `pauseMs` between lookups, saying how
// many and about how long; empty when the search is not large.
QString largeSearchQuestion(qint64 names, qint64 pauseMs);

} // namespace zandrel
