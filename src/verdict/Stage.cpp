#include "Stage.h"

#include "ServerTable.h"

#include <QRegularExpression>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace zandrel {

namespace {

// Evidence and details come from the head of an answer; a record is never longer, and a hostile
// answer costs no more than its head.
constexpr int MaxLines = 600;
constexpr qsizetype MaxHead = 64 * 1024;

// A registry's words that hold a name back from the public, with the reason they give and where
// the wording was seen.
struct HeldBack
{
    const char16_t *phrase;
    const char16_t *words;
};

const HeldBack ReservedPhrases[] = {
    // Identity Digital (Donuts) DPML block, google.chat; Uniregistry's Uni EPS+, google.lol; the
    // AdultBlock, paypal.sex; CNNIC, gov.cn; Famous Four, good.download; Identity Digital,
    // good.games: all in https://github.com/likexian/whois-parser/blob/master/utils_test.go
    {u"protected by the Donuts DPML Brand Protection policy", u"blocked by the registry"},
    {u"This name subscribes to the Uni EPS+ product", u"blocked by the registry"},
    {u"This name subscribes to the AdultBlock product", u"blocked by the registry"},
    {u"This name is reserved by the Registry", u"reserved by the registry"},
    {u"Reserved Domain Name", u"reserved by the registry"},
    {u"can not be registered online", u"not open to registration"},
};

// Status words that hold a name back: Registro .it ("Status: UNASSIGNABLE", la.it) and CIRA
// ("Domain status: unavailable", mediom.ca), captured in tests/data/answers (SOURCES.md there).
const HeldBack ReservedStatus[] = {
    {u"UNASSIGNABLE", u"unassignable"},
    {u"unavailable", u"unavailable"},
};

// Identity Digital's premium and platinum names (good.games, cool.guru), quoted in
// https://github.com/likexian/whois-parser/blob/master/utils_test.go
const char16_t *const PremiumPhrases[] = {
    u"platinum domain is available for purchase",
    u"premium domain is available for purchase",
};

enum class Field { None, Created, Expires, Updated, Registrar, Status };

// The labels of the fields read, lower case, as registries write them.
Field fieldOf(const QString &label)
{
    static const QHash<QString, Field> labels {
        {u"creation date"_s, Field::Created},
        {u"created"_s, Field::Created},
        {u"created on"_s, Field::Created},
        {u"created date"_s, Field::Created},
        {u"registration time"_s, Field::Created},
        {u"registration date"_s, Field::Created},
        {u"registered on"_s, Field::Created},
        {u"domain registration date"_s, Field::Created},
        {u"registry expiry date"_s, Field::Expires},
        {u"expiry date"_s, Field::Expires},
        {u"expiration date"_s, Field::Expires},
        {u"expiration time"_s, Field::Expires},
        {u"expire date"_s, Field::Expires},
        {u"expires"_s, Field::Expires},
        {u"expires on"_s, Field::Expires},
        {u"paid-till"_s, Field::Expires},
        {u"renewal date"_s, Field::Expires},
        {u"domain expiration date"_s, Field::Expires},
        {u"registrar registration expiration date"_s, Field::Expires}, // read after the registry's
        {u"expires at"_s, Field::Expires},
        {u"expire-date"_s, Field::Expires},
        {u"renewal"_s, Field::Expires},
        {u"updated date"_s, Field::Updated},
        {u"last updated"_s, Field::Updated},
        {u"last updated on"_s, Field::Updated},
        {u"last update"_s, Field::Updated},
        {u"last modified"_s, Field::Updated},
        {u"changed"_s, Field::Updated},
        {u"registrar"_s, Field::Registrar},
        {u"sponsoring registrar"_s, Field::Registrar},
        {u"registrar name"_s, Field::Registrar},
        {u"domain status"_s, Field::Status},
        {u"status"_s, Field::Status},
        {u"state"_s, Field::Status},
    };
    return labels.value(label, Field::None);
}

// What the fields of a record say, read line by line.
struct Record
{
    VerdictDetails details;
    QDate updated;
    QString dropLine; // the status line that says redemption or pending delete
    QString heldBack; // the reserved status's words, and its line
    QString heldBackLine;
    QString nameLine; // the first field naming the domain
};

bool isComment(QStringView line)
{
    return line.startsWith(u'%') || line.startsWith(u'#') || line.startsWith(u'*') || line.startsWith(u';')
        || line.startsWith(u">>>");
}

void readStatus(Record &record, const QString &value, const QString &line)
{
    static const QRegularExpression between(QStringLiteral("\\s+/\\s+|,\\s*"));
    for (const QString &part : value.split(between, Qt::SkipEmptyParts)) {
        const QString code = eppCode(part);
        if (code.isEmpty())
            continue;
        for (const HeldBack &held : ReservedStatus) {
            if (record.heldBack.isEmpty()
                && code.compare(QString::fromUtf16(held.phrase), Qt::CaseInsensitive) == 0) {
                record.heldBack = QString::fromUtf16(held.words);
                record.heldBackLine = line;
            }
        }
        if ((code == u"redemptionPeriod" || code == u"pendingDelete") && record.dropLine.isEmpty())
            record.dropLine = line;
        if (record.details.status.size() < VerdictDetails::MaxStatus && !record.details.status.contains(code))
            record.details.status << code;
    }
}

Record readRecord(const QString &answer, const QString &aceName)
{
    // "Label: value", "Label....: value", and JPRS's "[Label]   value".
    static const QRegularExpression field(
        QStringLiteral("^\\[?([A-Za-z][A-Za-z .-]{0,40}?)(?:\\][ \\t]+|[ .]*:)(.*)$"));
    Record record;
    VerdictDetails &details = record.details;
    QList<QStringView> lines = QStringView(answer).split(u'\n');
    if (lines.size() > MaxLines)
        lines.resize(MaxLines);
    // The name's own record starts at the field naming it: thin answers list look-alike records
    // ("Server Name: GOOGLE.COM.ZOMBIED…") before it.
    const auto start = std::find_if(lines.cbegin(), lines.cend(), [&aceName](QStringView raw) {
        if (aceName.isEmpty() || !raw.contains(aceName, Qt::CaseInsensitive))
            return false;
        const QRegularExpressionMatch match = field.match(raw.trimmed().toString());
        return match.hasMatch() && match.capturedView(2).trimmed().compare(aceName, Qt::CaseInsensitive) == 0;
    });
    bool inRegistrar = false; // a block "Registrar:" whose lines follow, indented
    for (auto it = start == lines.cend() ? lines.cbegin() : start; it != lines.cend(); ++it) {
        const QStringView raw = *it;
        const QString line = raw.trimmed().toString();
        if (line.isEmpty() || isComment(line)) {
            inRegistrar = false;
            continue;
        }
        const QRegularExpressionMatch match = field.match(line);
        const bool indented = raw.startsWith(u' ') || raw.startsWith(u'\t');
        if (inRegistrar && indented && details.registrar.isEmpty()) {
            const QString label = match.hasMatch() ? match.captured(1).toLower() : QString();
            if (!match.hasMatch() || label == u"name" || label == u"organization")
                details.registrar
                    = boundedLine(match.hasMatch() ? match.captured(2) : line, VerdictDetails::MaxText);
            continue;
        }
        inRegistrar = false;
        if (!match.hasMatch()) {
            inRegistrar = line.compare(QLatin1String("Registrar"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const QString label = match.captured(1).simplified().toLower();
        const QString value = match.captured(2).trimmed();
        if (record.nameLine.isEmpty() && !aceName.isEmpty()
            && value.compare(aceName, Qt::CaseInsensitive) == 0)
            record.nameLine = boundedLine(line);
        const auto setDate = [&value](QDate &date) {
            if (!date.isValid())
                date = answerDate(value);
        };
        switch (fieldOf(label)) {
        case Field::Created:
            setDate(details.created);
            break;
        case Field::Expires:
            setDate(details.expires);
            break;
        case Field::Updated:
            setDate(record.updated);
            break;
        case Field::Registrar:
            if (value.isEmpty())
                inRegistrar = true;
            else if (details.registrar.isEmpty())
                details.registrar = boundedLine(value, VerdictDetails::MaxText);
            break;
        case Field::Status:
            readStatus(record, value, boundedLine(line));
            break;
        case Field::None:
            break;
        }
    }
    return record;
}

// The first line (of the head of the answer) that holds one of `phrases`; a phrase running over
// lines is shown as written, its name filled in.
QString lineHolding(const QString &answer, const QStringList &phrases, const QString &aceName)
{
    QStringList present;
    for (const QString &phrase : phrases) {
        if (holdsPhrase(answer, phrase, aceName))
            present << phrase;
    }
    if (present.isEmpty())
        return {};
    int count = 0;
    for (const QStringView line : QStringView(answer).split(u'\n')) {
        if (++count > MaxLines)
            break;
        for (const QString &phrase : std::as_const(present)) {
            if (holdsPhrase(line.toString(), phrase, aceName))
                return boundedLine(line.toString());
        }
    }
    QString shown = present.first();
    return boundedLine(shown.replace(QLatin1String("{name}"), aceName));
}

// The first lines of an answer, at most MaxLines of them and MaxHead characters.
QString headOf(const QString &answer)
{
    qsizetype end = 0;
    for (int line = 0; line < MaxLines && end >= 0 && end < answer.size(); ++line)
        end = answer.indexOf(u'\n', end + (line > 0 ? 1 : 0));
    return answer.left(end < 0 ? MaxHead : std::min(end, MaxHead));
}

// Whether `folded` (a case-folded answer) has the last word of `phrase`: most answers lack it, and
// then the phrase need not be sought.
bool mayHold(const QString &folded, const QString &phrase)
{
    return folded.contains(phrase.section(u' ', -1).toCaseFolded());
}

QStringList phrasesOf(const auto &table)
{
    QStringList phrases;
    for (const auto &entry : table) {
        if constexpr (std::is_same_v<std::decay_t<decltype(entry)>, HeldBack>)
            phrases << QString::fromUtf16(entry.phrase);
        else
            phrases << QString::fromUtf16(entry);
    }
    return phrases;
}

} // namespace

std::pair<Stage, QDate> reckonStage(const QStringList &status, const QDate &expires, const QDate &since,
                                    const QDate &today)
{
    // Without the day it began, the stage may be ending today: the earliest release is reckoned so.
    const bool dated = since.isValid() && since <= today;
    // In redemption a name carries pendingDelete too (RFC 3915 section 3.1): redemptionPeriod decides.
    if (status.contains(u"redemptionPeriod"_s)) {
        const QDate ends = dated ? std::max(since.addDays(RedemptionDays), today) : today;
        return {Stage::Redemption, ends.addDays(PendingDeleteDays)};
    }
    if (status.contains(u"pendingDelete"_s))
        return {Stage::PendingDelete, dated ? std::max(since.addDays(PendingDeleteDays), today) : today};
    if (expires.isValid() && expires < today)
        return {Stage::Expired, {}};
    return {Stage::Registered, {}};
}

Reading readBeyond(const Verdict &decided, const QString &answer, const QString &aceName,
                   const RegistryRules &rules, const Authority &authority, const QDate &today,
                   AnswerForm form)
{
    Reading reading {decided, {}};
    VerdictDetails &details = reading.details;
    if (decided.kind == VerdictKind::NotRegistrable)
        return reading;
    const QString head = headOf(answer);
    if (decided.kind == VerdictKind::Unknown && decided.reason != UnknownReason::Unrecognised) {
        if (decided.reason == UnknownReason::RateLimited && form == AnswerForm::Whois)
            details.evidence = lineHolding(head, rules.rateLimited, aceName);
        return reading;
    }
    const bool rdap = form == AnswerForm::Rdap;
    if (rdap && decided.kind == VerdictKind::Free) {
        details.evidence = QStringLiteral("HTTP 404");
        return reading;
    }
    if (!rdap) {
        const QString folded = head.toCaseFolded();
        // The registry's own notices; a record of the name stands before a premium one.
        const bool mayBeFree = decided.kind == VerdictKind::Free
            || (decided.kind == VerdictKind::Unknown && decided.why.isEmpty()
                && authority.kind == Authority::Kind::Registry);
        const QStringList premiumPhrases = phrasesOf(PremiumPhrases);
        const bool premiumWords = mayBeFree
            && std::any_of(premiumPhrases.cbegin(), premiumPhrases.cend(),
                           [&folded](const QString &p) { return mayHold(folded, p); });
        const QString premium = premiumWords ? lineHolding(head, premiumPhrases, aceName) : QString();
        if (!premium.isEmpty()
            && (decided.kind == VerdictKind::Free || lineHolding(head, rules.record, aceName).isEmpty())) {
            reading.verdict = {VerdictKind::Free, {}, {}};
            details.premium = true;
            details.evidence = premium;
            return reading;
        }
        for (const HeldBack &held : ReservedPhrases) {
            const QString phrase = QString::fromUtf16(held.phrase);
            if (mayHold(folded, phrase) && holdsPhrase(head, phrase, aceName)) {
                reading.verdict = {VerdictKind::Reserved, {}, QString::fromUtf16(held.words)};
                details.evidence = lineHolding(head, {phrase}, aceName);
                return reading;
            }
        }
    }
    Record record = readRecord(head, aceName);
    if (!record.heldBack.isEmpty() && !rdap) {
        reading.verdict = {VerdictKind::Reserved, {}, record.heldBack};
        details.evidence = record.heldBackLine;
        return reading;
    }
    if (decided.kind == VerdictKind::Free) {
        details.evidence = lineHolding(head, rules.notFound, aceName);
        return reading;
    }
    if (decided.kind != VerdictKind::Taken)
        return reading;
    details = record.details;
    std::tie(details.stage, details.drops)
        = reckonStage(details.status, details.expires, record.updated, today);
    if (details.dropping())
        details.evidence = record.dropLine;
    else if (rdap)
        details.evidence = record.nameLine;
    else
        details.evidence = lineHolding(head, rules.record, aceName);
    if (rdap && !details.evidence.isEmpty()) {
        // RDAP's members, not the lines made of them.
        const QString value = details.evidence.section(u':', 1).trimmed();
        details.evidence = (details.dropping() ? u"status: \""_s : u"ldhName: \""_s) + value + u'"';
    }
    return reading;
}

} // namespace zandrel
