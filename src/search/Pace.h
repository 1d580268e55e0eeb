#pragma once

#include "verdict/Operators.h"

#include <QHash>
#include <QString>

#include <deque>
#include <memory>

namespace zandrel {

// How fast one operator is asked. Its budgets are kept exactly: a rate by spacing the starts of its
// queries evenly, a count over a window by counting the starts within it. Without a rate of its own
// the pace is learned the way TCP finds a path's rate: it starts at one query a second, rises while
// answers come clean (by a quarter each answer until the first limit, slowly after), is cut to 70%
// of the last good rate at a sign of a limit, and stays at most a little below the rate a limit was
// last seen at, probing above it only after a long clean run.
class OperatorPace
{
public:
    static constexpr double StartRate = 1.0;
    static constexpr double CapRate = 4.0;

    explicit OperatorPace(QList<Budget> budgets = {});

    const QList<Budget> &budgets() const { return m_budgets; }
    // Whether the pace is learned: no rate is published or declared.
    bool adaptive() const;
    // The earliest moment a query may start, on the monotonic clock; `learned`: the adaptive pace
    // counts too (off: the budgets alone).
    qint64 dueNs(qint64 nowNs, bool learned = true) const;
    // The part of dueNs() a count over a window of a minute or more sets; 0 when none holds.
    qint64 windowDueNs(qint64 nowNs) const;
    void started(qint64 nowNs);
    // The query started at `startNs` was answered at `endNs`: a window counts it from then, since
    // the server had it no later, however long it took to get there.
    void answered(qint64 startNs, qint64 endNs);
    // How the query ended: clean, or with a sign of a limit.
    void ended(bool limitSign);
    // Queries a second it goes at now.
    double rate() const;
    // The starts a window budget still counts, oldest first (for keeping them across runs).
    const std::deque<qint64> &starts() const { return m_starts; }
    void setStarts(std::deque<qint64> starts);

private:
    QList<Budget> m_budgets;
    qint64 m_intervalNs = 0; // from the tightest rate budget
    int m_keep = 0; // starts kept for the window budgets
    std::deque<qint64> m_starts;
    qint64 m_lastStartNs = -1;
    double m_rate = StartRate;
    double m_ceiling = CapRate;
    bool m_rising = true; // no limit seen yet
    int m_cleanRun = 0;
};

// The paces of every operator a session asks, kept from run to run so that what was learned holds.
// A server no operator row names is an operator of its own.
class Paces
{
public:
    explicit Paces(const OperatorTable &table = OperatorTable::builtIn());

    // The user's operators (the settings' lines, then --operators): later lines win.
    Result<void> addLines(const QString &text, const QString &origin);
    // The operator whose budget and hold a server with queue key `key` shares.
    QString operatorOf(const QString &key) const;
    OperatorPace &paceOf(const QString &key);
    // The pace of the operator called `name`; nothing when no row names it.
    OperatorPace *paceNamed(const QString &name);
    // The operators whose starts count against a window, by name.
    QStringList windowed() const;
    // Notes a sign from a server: whether it ever answered, which a refused connection needs to
    // count as a limit.
    bool answeredBefore(const QString &key) const { return m_answered.contains(operatorOf(key)); }
    void answered(const QString &key) { m_answered.insert(operatorOf(key), true); }

private:
    OperatorTable m_table;
    QHash<QString, std::shared_ptr<OperatorPace>> m_paces;
    QHash<QString, bool> m_answered;
};

} // namespace zandrel
