#pragma once

#include "platform/Result.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace zandrel {

// At most `count` queries in `periodMs`. Under a minute it is a rate, kept by spacing queries
// evenly (5/s: one every 200 ms); a minute or more is a count over a rolling window.
struct Budget
{
    int count = 0;
    qint64 periodMs = 0;

    bool isRate() const { return periodMs < 60'000; }
    qint64 intervalMs() const { return count > 0 ? (periodMs + count - 1) / count : 0; }
    friend bool operator==(const Budget &, const Budget &) = default;
};

// "COUNT/PERIOD", PERIOD "s", "min", "h", or a number followed by one of them ("5/s", "1000/24h",
// "1800/15min"); nothing for any other text.
std::optional<Budget> parseBudget(QStringView text);
// The written form parseBudget() reads back.
QString budgetText(const Budget &budget);

// A registry operator: its servers share one queue's pace and its budgets.
struct Operator
{
    QString name;
    QStringList servers; // as written: HOST[:PORT] for WHOIS, a base URL for RDAP
    QList<Budget> budgets;
    QString source;
};

// One line: name, servers separated by commas, budgets separated by blanks ("-" or empty for none),
// optionally the source, separated by tabs.
Result<Operator> parseOperatorLine(const QString &line);

// The queue key a server written in an operators line has: "host:port" (43 when none is given) for
// WHOIS, the scheme and host of an RDAP base URL.
QString operatorServerKey(const QString &server);

// Which operator runs each server. The built-in table, then the user's lines: a later line takes
// its servers over from an earlier one.
class OperatorTable
{
public:
    static const OperatorTable &builtIn();

    // Adds one operator a line; blank lines and lines starting with '#' are skipped. Stops at the
    // first line that does not read, saying which.
    Result<void> addLines(const QString &text, const QString &origin);
    void add(const Operator &op);

    // The operator of the server with queue key `key`, or nothing.
    const Operator *operatorFor(const QString &key) const;
    const QList<Operator> &operators() const { return m_operators; }

private:
    QList<Operator> m_operators;
    QHash<QString, qsizetype> m_byKey;
};

} // namespace zandrel
