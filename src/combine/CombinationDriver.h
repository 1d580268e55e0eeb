#pragma once

#include <QString>

namespace zandrel {

class WhoController;

// "Searching 3 of 12"
QString searchingCaption(qint64 count, qint64 total);
// "Zandrel - 12 Domains Searched"
QString searchedCaption(const QString &product, qint64 total);
// The line put in the response box before each combination's lookup.
QString combinationBanner(const QString &term);

// Looks up every pairing of a prefix word with a suffix word, prefix-major, one lookup at a
// time, paced by the pause timer; cleans the responses and writes the report at the end.
class CombinationDriver
{
public:
    explicit CombinationDriver(WhoController &who);

    // Runs one whole search; returns when it is done, stopped, or the program is closing.
    void run();

private:
    bool searchOne(int prefixIndex, int suffixIndex);
    bool waitForResponse();
    qint64 total() const;

    WhoController &m_who;
    qint64 m_count = 0;
};

} // namespace zandrel
