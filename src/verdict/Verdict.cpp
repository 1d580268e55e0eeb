#include "Verdict.h"

#include "ServerTable.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>

namespace zandrel {

namespace {
const std::array<QString, 4> Names {QStringLiteral("free"), QStringLiteral("taken"),
                                    QStringLiteral("unknown"), QStringLiteral("not-registrable")};
}

QString verdictName(VerdictKind kind)
{
    return Names.at(size_t(kind));
}

std::optional<VerdictKind> verdictFromName(const QString &name)
{
    for (size_t i = 0; i < Names.size(); ++i) {
        if (Names[i] == name)
            return VerdictKind(i);
    }
    return std::nullopt;
}

namespace {

QString literalPattern(const QString &piece)
{
    static const QRegularExpression blanks(QStringLiteral("[ \\t]+"));
    QStringList words = piece.split(blanks);
    for (QString &word : words)
        word = QRegularExpression::escape(word);
    return words.join(QStringLiteral("[ \\t\\r\\n]+"));
}

bool holdsAny(const QString &text, const QStringList &phrases, const QString &aceName)
{
    for (const QString &phrase : phrases) {
        if (holdsPhrase(text, phrase, aceName))
            return true;
    }
    return false;
}

} // namespace

bool holdsPhrase(const QString &text, const QString &phrase, const QString &aceName)
{
    const QString marker = QStringLiteral("{name}");
    const QStringList pieces = phrase.trimmed().split(marker);
    QString pattern;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0) {
            // The name stands whole: no name character on either side of it.
            pattern += QStringLiteral("(?<![A-Za-z0-9.-])") + QRegularExpression::escape(aceName)
                + QStringLiteral("(?![A-Za-z0-9-]|\\.[A-Za-z0-9])");
        }
        pattern += literalPattern(pieces[i]);
    }
    const QRegularExpression expression(pattern, QRegularExpression::CaseInsensitiveOption);
    return expression.isValid() && expression.match(text).hasMatch();
}

Verdict decideVerdict(const QString &answer, const QString &aceName, const RegistryRules &rules,
                      LookupEnd end)
{
    const bool empty = answer.trimmed().isEmpty();
    switch (end) {
    case LookupEnd::ConnectionFailed:
        return {VerdictKind::Unknown, reason::ConnectionFailed};
    case LookupEnd::CutOff:
        return {VerdictKind::Unknown, reason::CutOff};
    case LookupEnd::Abandoned:
        return {VerdictKind::Unknown, empty ? reason::NoAnswer : reason::CutOff};
    case LookupEnd::NoAnswer:
        return {VerdictKind::Unknown, reason::NoAnswer};
    case LookupEnd::Answered:
        break;
    }
    if (empty)
        return {VerdictKind::Unknown, reason::NoAnswer};
    if (holdsAny(answer, rules.rateLimited, aceName))
        return {VerdictKind::Unknown, reason::RateLimited};
    if (holdsAny(answer, rules.notFound, aceName))
        return {VerdictKind::Free, {}};
    if (holdsAny(answer, rules.record, aceName))
        return {VerdictKind::Taken, {}};
    return {VerdictKind::Unknown, reason::Unrecognised};
}

void RunTally::clear()
{
    m_rows.clear();
    m_index.clear();
}

void RunTally::record(const QString &name, const Verdict &verdict)
{
    const auto found = m_index.constFind(name);
    if (found != m_index.constEnd()) {
        m_rows[found.value()].verdict = verdict;
        return;
    }
    m_index.insert(name, m_rows.size());
    m_rows.append({name, verdict});
}

int RunTally::count(VerdictKind kind) const
{
    return int(std::count_if(m_rows.cbegin(), m_rows.cend(),
                             [kind](const Row &row) { return row.verdict.kind == kind; }));
}

QList<RunTally::Row> RunTally::notAnsweredRows() const
{
    QList<Row> rows;
    for (const Row &row : m_rows) {
        if (!row.verdict.answered())
            rows << row;
    }
    return rows;
}

QStringList RunTally::unknownNames() const
{
    QStringList names;
    for (const Row &row : m_rows) {
        if (row.verdict.kind == VerdictKind::Unknown)
            names << row.name;
    }
    return names;
}

QString RunTally::countsText() const
{
    return QStringLiteral("free %1 \u00b7 taken %2 \u00b7 not answered %3")
        .arg(count(VerdictKind::Free))
        .arg(count(VerdictKind::Taken))
        .arg(notAnswered());
}

} // namespace zandrel
