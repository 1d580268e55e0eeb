#pragma once

#include <QElapsedTimer>
#include <QString>

namespace zandrel {

// A span of time as the user reads it: "less than a minute", "about 12 min", "about 2 h 41 min",
// past 48 hours "about 3 days 5 h".
QString durationText(double seconds);

// The time a run still needs, from its pace so far: "about 2 h 41 min left", "about 12 min left",
// "less than a minute left"; empty before the first combination is done.
QString timeLeftText(qint64 done, qint64 total, qint64 elapsedMs);

// A search of more names than this is asked about before it starts.
inline constexpr qint64 LargeSearch = 100'000;

// The question asked before a search of `names` names with `pauseMs` between lookups, saying how
// many and about how long; empty when the search is not large.
QString largeSearchQuestion(qint64 names, qint64 pauseMs);

// The pace of the lookups made since a run was started or resumed.
class RunPace
{
public:
    // The run goes on from combination `first` of `total`.
    void start(qint64 first, qint64 total);
    qint64 total() const { return m_total; }
    // With combination `last` done.
    QString timeLeft(qint64 last) const;

private:
    qint64 m_first = 1;
    qint64 m_total = 0;
    QElapsedTimer m_timer;
};

} // namespace zandrel
