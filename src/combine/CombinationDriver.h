#pragma once

#include "verdict/Verdict.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace zandrel {

class Clock;
class EventYield;
class TermLookup;
class WhoState;

// "Searching 3 of 12"
QString searchingCaption(qint64 count, qint64 total);
// "Zandrel - 12 Domains Searched"
QString searchedCaption(const QString &product, qint64 total);
// The line put in the response box before each combination's lookup.
QString combinationBanner(const QString &term);

// Looks up every pairing of a prefix word with a suffix word, prefix-major, one lookup at a
// time, paced by the pause timer; cleans the responses and has the report written at the end.
class CombinationDriver
{
public:
    CombinationDriver(WhoState &state, TermLookup &lookup, EventYield &yield, Clock &clock,
                      const QString &product);

    // Called once the lists are settled, before the first lookup, with the number of combinations.
    void setStarter(std::function<void(qint64)> starter) { m_starter = std::move(starter); }
    // Called with every finished lookup, in order. A lookup given up when Stop came is not
    // finished: it is asked again when the run is resumed.
    void setRecorder(std::function<void(const LookupRecord &)> recorder) { m_recorder = std::move(recorder); }
    // Called with the report's base name at the end of a complete run (when the report is asked for).
    void setReporter(std::function<void(const QString &)> reporter) { m_reporter = std::move(reporter); }

    // Runs one whole search over the state's lists, from the combination numbered `startIndex`
    // (1 is the first); returns when it is done (true), stopped, or the program is closing.
    bool run(qint64 startIndex = 1);

    // Looks up the given names as they are, with the same steps and pause; writes no report.
    void runNames(const QStringList &names);

private:
    bool searchOne(bool asIs);
    bool waitForResponse();
    void finish(qint64 total);
    qint64 total() const;

    WhoState &m_state;
    TermLookup &m_lookup;
    EventYield &m_yield;
    Clock &m_clock;
    QString m_product;
    std::function<void(qint64)> m_starter;
    std::function<void(const LookupRecord &)> m_recorder;
    std::function<void(const QString &)> m_reporter;
    qint64 m_count = 0;
    bool m_abandoned = false;
};

} // namespace zandrel
