#pragma once

#include <QElapsedTimer>
#include <QString>

namespace zandrel {

// The time a run still needs, from its pace so far: "about 2 h 41 min left", "about 12 min left",
// "less than a minute left"; empty before the first combination is done.
QString timeLeftText(qint64 done, qint64 total, qint64 elapsedMs);

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
