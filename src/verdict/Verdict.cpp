#include "Verdict.h"

#include "RecordReading.h"
#include "Registrable.h"
#include "ServerTable.h"
#include "text/Replaceit.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <array>

namespace zandrel {

namespace {
const std::array<QString, 5> Names {QStringLiteral("free"), QStringLiteral("taken"),
                                    QStringLiteral("unknown"), QStringLiteral("not-registrable"),
                                    QStringLiteral("reserved")};

// Every reason's words, in the order of UnknownReason.
const std::array<QString, 8> ReasonWords {QStringLiteral(""),
                                          QStringLiteral("no answer"),
                                          QStringLiteral("connection failed"),
                                          QStringLiteral("cut off"),
                                          QStringLiteral("rate-limited"),
                                          QStringLiteral("unrecognised"),
                                          QStringLiteral("no service known"),
                                          QStringLiteral("quota")};

// The enum value whose words `words` are, in a table in the enum's order.
template<class Enum, size_t N>
std::optional<Enum> indexIn(const std::array<QString, N> &table, const QString &words)
{
    const auto found = std::find(table.cbegin(), table.cend(), words);
    return found == table.cend() ? std::nullopt : std::optional(Enum(found - table.cbegin()));
}
} // namespace

QString reasonWords(UnknownReason reason)
{
    return ReasonWords.at(size_t(reason));
}

std::optional<UnknownReason> reasonFromWords(const QString &words)
{
    return indexIn<UnknownReason>(ReasonWords, words);
}

Verdict Verdict::fromReasonText(VerdictKind kind, const QString &text)
{
    if (kind == VerdictKind::NotRegistrable || kind == VerdictKind::Reserved)
        return {kind, {}, text};
    if (kind == VerdictKind::Unknown)
        return unknown(reasonFromWords(text).value_or(UnknownReason::None));
    return {kind, {}, {}};
}

QString Verdict::reasonText() const
{
    return kind == VerdictKind::NotRegistrable || kind == VerdictKind::Reserved ? why : reasonWords(reason);
}

QString verdictName(VerdictKind kind)
{
    return Names.at(size_t(kind));
}

std::optional<VerdictKind> verdictFromName(const QString &name)
{
    return indexIn<VerdictKind>(Names, name);
}

namespace {

QString literalPattern(const QString &piece)
{
    static const QRegularExpression blanks(QStringLiteral("[ \\t]+"));
    const QStringList words = piece.split(blanks);
    QString pattern;
    for (qsizetype i = 0; i < words.size(); ++i) {
        // Older answers run a field's value on after its colon ("Domain Name:X"), so a blank
        // after a colon may be none at all.
        if (i > 0)
            pattern += words[i - 1].endsWith(u':') ? QStringLiteral("[ \\t\\r\\n]*")
                                                   : QStringLiteral("[ \\t\\r\\n]+");
        pattern += QRegularExpression::escape(words[i]);
    }
    return pattern;
}

// toCaseFolded(), with a quick path for the usual all-ASCII answer, where folding is lower-casing.
QString caseFolded(const QString &text)
{
    return isAscii(text) ? foldCase(text) : text.toCaseFolded();
}

// The boundaries of a name standing whole: no name character on either side of it.
const QString NameBefore = QStringLiteral("(?<![A-Za-z0-9.-])");
const QString NameAfter = QStringLiteral("(?![A-Za-z0-9-]|\\.[A-Za-z0-9])");

// The phrase as an expression with `name` in place of each {name}.
QString phrasePattern(const QStringList &pieces, const QString &name)
{
    QString pattern;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            pattern += NameBefore + name + NameAfter;
        pattern += literalPattern(pieces[i]);
    }
    return pattern;
}

// A phrase as the matcher needs it: the text around each {name}, the plain-ASCII words that must
// all be in an answer before the expression is worth running, and the expression, in which each
// {name} captures whatever name stands there (so it is compiled once, not once per domain).
struct ParsedPhrase
{
    QStringList pieces;
    QStringList foldedWords;
    QRegularExpression expression;
};

// The lookups run on one thread. The cache holds the phrases of the server table and settings;
// should something feed it endless new phrases, it starts again past a few hundred.
const ParsedPhrase &parsedPhrase(const QString &phrase)
{
    static QHash<QString, ParsedPhrase> cache;
    if (const auto found = cache.constFind(phrase); found != cache.constEnd())
        return *found;
    if (cache.size() >= 512)
        cache.clear();
    ParsedPhrase parsed;
    parsed.pieces = phrase.trimmed().split(QStringLiteral("{name}"));
    for (const QString &piece : std::as_const(parsed.pieces)) {
        for (const QString &word : piece.simplified().split(u' ', Qt::SkipEmptyParts)) {
            if (isAscii(word))
                parsed.foldedWords << word.toCaseFolded();
        }
    }
    // Inside a domain name the boundary after it never holds, so the shortest run that ends at
    // one is the whole name there.
    parsed.expression
        = QRegularExpression(phrasePattern(parsed.pieces, QStringLiteral("([A-Za-z0-9.-]{1,253}?)")),
                             QRegularExpression::CaseInsensitiveOption);
    return *cache.insert(phrase, parsed);
}

// Whether the phrase stands in the text with `aceName` at every {name}: each place the phrase
// stands is tried in turn until one names the domain.
bool holdsNaming(const QString &text, const QRegularExpression &expression, const QString &aceName)
{
    for (qsizetype from = 0; from <= text.size();) {
        const QRegularExpressionMatch match = expression.match(text, from);
        if (!match.hasMatch())
            return false;
        bool naming = true;
        for (int group = 1; group <= match.lastCapturedIndex() && naming; ++group)
            naming = match.capturedView(group).compare(aceName, Qt::CaseInsensitive) == 0;
        if (naming)
            return true;
        from = match.capturedStart(0) + 1;
    }
    return false;
}

// `folded` is `text` case-folded, so the many cheap word checks need no folding of their own.
bool holdsFolded(const QString &text, const QString &folded, const QString &phrase, const QString &aceName)
{
    const ParsedPhrase &parsed = parsedPhrase(phrase);
    const bool naming = parsed.pieces.size() > 1;
    // Most phrases are absent from most answers: a word of the phrase that is not in the text
    // rules it out without running an expression.
    if (naming && !aceName.isEmpty() && !folded.contains(aceName.toCaseFolded()))
        return false;
    for (const QString &word : parsed.foldedWords) {
        if (!folded.contains(word))
            return false;
    }
    if (!parsed.expression.isValid())
        return false;
    if (!naming)
        return parsed.expression.match(text).hasMatch();
    if (aceName.isEmpty()) {
        const QRegularExpression unnamed(phrasePattern(parsed.pieces, QString()),
                                         QRegularExpression::CaseInsensitiveOption);
        return unnamed.match(text).hasMatch();
    }
    return holdsNaming(text, parsed.expression, aceName);
}

bool holdsAny(const QString &text, const QString &folded, const QStringList &phrases, const QString &aceName)
{
    for (const QString &phrase : phrases) {
        if (holdsFolded(text, folded, phrase, aceName))
            return true;
    }
    return false;
}

} // namespace

bool holdsPhrase(const QString &text, const QString &phrase, const QString &aceName)
{
    return holdsFolded(text, caseFolded(text), phrase, aceName);
}

QString otherTldsOnly(const QString &answer, const QString &tld)
{
    // Verisign: "The Registry database contains ONLY .COM, .NET, .EDU domains and Registrars."
    static const QRegularExpression onlyTlds(
        QStringLiteral("contains[ \\t\\r\\n]+ONLY[ \\t\\r\\n]+((?:\\.[A-Za-z0-9-]+[ \\t\\r\\n,]*(?:and[ "
                       "\\t\\r\\n]+)?)+)"),
        QRegularExpression::CaseInsensitiveOption);
    // Identity Digital's servers, asked about a TLD they do not run.
    static const QRegularExpression notSupported(
        QStringLiteral("^[ \\t]*TLD is not supported\\.?[ \\t]*\\r?$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    if (const QRegularExpressionMatch match = notSupported.match(answer); match.hasMatch())
        return match.captured(0).trimmed();
    const QRegularExpressionMatch match = onlyTlds.match(answer);
    if (!match.hasMatch())
        return {};
    static const QRegularExpression label(QStringLiteral("\\.([A-Za-z0-9-]+)"));
    for (auto it = label.globalMatch(match.captured(1)); it.hasNext();) {
        if (it.next().captured(1).compare(tld, Qt::CaseInsensitive) == 0)
            return {};
    }
    return match.captured(0).simplified();
}

Verdict decideVerdict(const QString &answer, const QString &aceName, const RegistryRules &rules,
                      LookupEnd end, const Authority &authority)
{
    const bool empty = QStringView(answer).trimmed().isEmpty();
    switch (end) {
    case LookupEnd::ConnectionFailed:
        return Verdict::unknown(UnknownReason::ConnectionFailed);
    case LookupEnd::CutOff:
        return Verdict::unknown(UnknownReason::CutOff);
    case LookupEnd::Abandoned:
        return Verdict::unknown(empty ? UnknownReason::NoAnswer : UnknownReason::CutOff);
    case LookupEnd::NoAnswer:
        return Verdict::unknown(UnknownReason::NoAnswer);
    case LookupEnd::Answered:
        break;
    }
    if (empty)
        return Verdict::unknown(UnknownReason::NoAnswer);
    // DENIC gives an internationalised name in Unicode beside its ACE form.
    const QString text = withAceName(answer, aceName);
    const QString folded = caseFolded(text);
    if (holdsAny(text, folded, rules.rateLimited, aceName))
        return Verdict::unknown(UnknownReason::RateLimited);
    const bool notFound = holdsAny(text, folded, rules.notFound, aceName);
    bool record = holdsAny(text, folded, rules.record, aceName);
    if (rules.freeFirst) {
        // This registry's free answer names the domain too: its free phrase decides, for the name
        // the answer names; without it the answer is taken when it reads as a record.
        if (notFound && !namesDomainInField(text, aceName))
            return Verdict::unknown(UnknownReason::Unrecognised);
        record = !notFound && record && readsAsRecord(text, aceName);
    }
    // Any registry's record of this very domain, in a shape of its own.
    if (!notFound && !record)
        record = readsAsRecord(text, aceName);
    // Both at once: the answer contradicts itself, or the phrases are not this registry's.
    if (notFound == record)
        return Verdict::unknown(UnknownReason::Unrecognised);
    if (record)
        return {VerdictKind::Taken, {}, {}};
    switch (authority.kind) {
    case Authority::Kind::Registry:
        return {VerdictKind::Free, {}, {}};
    case Authority::Kind::SharedServer:
        if (otherTldsOnly(answer, rules.tld).isEmpty())
            return {VerdictKind::Free, {}, {}};
        break;
    case Authority::Kind::OtherRegistry:
    case Authority::Kind::OtherSuffix:
        break;
    }
    return {VerdictKind::Unknown, UnknownReason::Unrecognised, authority.why};
}

void RunTally::clear()
{
    m_rows.clear();
    m_index.clear();
    m_counts.fill(0);
}

void RunTally::record(const QString &name, const Verdict &verdict)
{
    ++m_counts.at(size_t(verdict.kind));
    if (!m_keepNames)
        return;
    const auto found = m_index.constFind(name);
    if (found != m_index.constEnd()) {
        --m_counts.at(size_t(m_rows[found.value()].verdict.kind));
        m_rows[found.value()].verdict = verdict;
        return;
    }
    m_index.insert(name, m_rows.size());
    m_rows.append({name, verdict});
}

int RunTally::count(VerdictKind kind) const
{
    return m_counts.at(size_t(kind));
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
    QString text = QStringLiteral("free %1 \u00b7 taken %2 \u00b7 not answered %3")
                       .arg(count(VerdictKind::Free))
                       .arg(count(VerdictKind::Taken))
                       .arg(notAnswered());
    if (count(VerdictKind::Reserved) > 0)
        text += QStringLiteral(" \u00b7 reserved %1").arg(count(VerdictKind::Reserved));
    return text;
}

} // namespace zandrel
