#include "Operators.h"

#include "verdict/QueryLine.h"

#include <QFile>
#include <QRegularExpression>
#include <QUrl>

namespace zandrel {

namespace {

// Budgets beyond these are no budget a registry would set, and would overflow the arithmetic.
constexpr qint64 MaxCount = 10'000'000;
constexpr qint64 MaxPeriodMs = 366LL * 24 * 3600 * 1000;

} // namespace

std::optional<Budget> parseBudget(QStringView text)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,9})/([0-9]{0,9})(s|min|h)$"));
    const QRegularExpressionMatch match = form.match(text.trimmed().toString());
    if (!match.hasMatch())
        return std::nullopt;
    const qint64 count = match.capturedView(1).toLongLong();
    const qint64 units = match.capturedLength(2) == 0 ? 1 : match.capturedView(2).toLongLong();
    const QStringView unit = match.capturedView(3);
    const qint64 unitMs = unit == u"s" ? 1000 : unit == u"min" ? 60'000 : 3'600'000;
    if (count < 1 || count > MaxCount || units < 1 || units > MaxPeriodMs / unitMs)
        return std::nullopt;
    return Budget {int(count), units * unitMs};
}

QString budgetText(const Budget &budget)
{
    for (const auto &[unit, ms] : {std::pair {"h", 3'600'000LL}, std::pair {"min", 60'000LL}}) {
        if (budget.periodMs % ms == 0) {
            const qint64 units = budget.periodMs / ms;
            return QStringLiteral("%1/%2%3")
                .arg(budget.count)
                .arg(units == 1 ? QString() : QString::number(units), QLatin1String(unit));
        }
    }
    const qint64 seconds = budget.periodMs / 1000;
    return QStringLiteral("%1/%2s")
        .arg(budget.count)
        .arg(seconds == 1 ? QString() : QString::number(seconds));
}

QString operatorServerKey(const QString &server)
{
    const QString given = server.trimmed();
    if (given.contains(QStringLiteral("://"))) {
        const QUrl url(given);
        if (!url.isValid() || url.host().isEmpty())
            return {};
        // As RDAP lookups queue: by the base URL without its path.
        return url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toString();
    }
    const std::optional<ServerAddress> address = parseServerAddress(given);
    return address ? hostAndPort(*address) : QString();
}

Result<Operator> parseOperatorLine(const QString &line)
{
    const QStringList fields = line.split(u'\t');
    if (fields.size() < 3)
        return Error(QStringLiteral("an operator line is NAME, SERVERS and BUDGETS, separated by tabs"));
    Operator op;
    op.name = fields.at(0).trimmed();
    if (op.name.isEmpty())
        return Error(QStringLiteral("the operator has no name"));
    for (const QString &server : fields.at(1).split(u',', Qt::SkipEmptyParts)) {
        if (operatorServerKey(server).isEmpty())
            return Error(QStringLiteral("'%1' is not HOST:PORT or a base URL").arg(server.trimmed()));
        op.servers << server.trimmed();
    }
    if (op.servers.isEmpty())
        return Error(QStringLiteral("%1 has no servers").arg(op.name));
    const QString budgets = fields.at(2).trimmed();
    if (budgets != u'-') {
        for (const QString &word : budgets.split(u' ', Qt::SkipEmptyParts)) {
            const std::optional<Budget> budget = parseBudget(word);
            if (!budget)
                return Error(
                    QStringLiteral("'%1' is not a budget such as 5/s, 1000/24h or 1800/15min").arg(word));
            op.budgets << *budget;
        }
    }
    op.source = fields.mid(3).join(u'\t').trimmed();
    return op;
}

const OperatorTable &OperatorTable::builtIn()
{
    static const OperatorTable table = [] {
        OperatorTable made;
        QFile file(QStringLiteral(":/zandrel/operators.tsv"));
        if (file.open(QIODevice::ReadOnly)) {
            const Result<void> read
                = made.addLines(QString::fromUtf8(file.readAll()), QStringLiteral("operators.tsv"));
            Q_ASSERT(read.ok());
        }
        return made;
    }();
    return table;
}

Result<void> OperatorTable::addLines(const QString &text, const QString &origin)
{
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.trimmed().startsWith(u'#'))
            continue;
        const Result<Operator> op = parseOperatorLine(line);
        if (!op)
            return Error(QStringLiteral("%1, line %2: %3").arg(origin).arg(i + 1).arg(op.error().text));
        add(*op);
    }
    return {};
}

void OperatorTable::add(const Operator &op)
{
    m_operators << op;
    for (const QString &server : op.servers)
        m_byKey.insert(operatorServerKey(server), m_operators.size() - 1);
}

const Operator *OperatorTable::operatorFor(const QString &key) const
{
    const auto found = m_byKey.constFind(key);
    return found == m_byKey.cend() ? nullptr : &m_operators.at(*found);
}

} // namespace zandrel
