#pragma once

#include <QDate>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace zandrel {

// Where a taken name stands in its life at the registry (EPP statuses, RFC 5731 and RFC 3915).
enum class Stage {
    None, // not a taken name, or nothing said
    Registered,
    Expired, // past its expiry date, in the registry's auto-renew grace
    Redemption, // deleted, restorable by its holder for about 30 days (redemptionPeriod)
    PendingDelete // about 5 days before the registry releases it (pendingDelete)
};

// "registered", "expired", "redemption", "pending-delete"; empty for None. Journals keep these.
QString stageName(Stage stage);
std::optional<Stage> stageFromName(const QString &name);

// What an answer said about a name beyond its verdict. Kept beside a lookup's record, never in a
// Verdict, so runs that keep counts only copy none of it; every field is bounded, whatever the
// server sent.
struct VerdictDetails
{
    static constexpr int MaxEvidence = 160; // characters of the deciding line
    static constexpr int MaxText = 80; // characters of the registrar's name
    static constexpr int MaxStatus = 12; // EPP codes kept
    static constexpr int MaxCode = 40; // characters of one code

    bool premium = false; // free, at the registry's premium price
    Stage stage = Stage::None;
    QDate drops; // the earliest day a name in redemption or pending delete can be released
    QString registrar;
    QDate created;
    QDate expires;
    QStringList status; // EPP codes, RDAP's names mapped to them
    QString evidence; // the line or RDAP member that decided the verdict

    bool dropping() const { return stage == Stage::Redemption || stage == Stage::PendingDelete; }
    bool empty() const { return *this == VerdictDetails {}; }
    friend bool operator==(const VerdictDetails &, const VerdictDetails &) = default;
};

// The details as JSON keys (premium, stage, drops, registrar, created, expires, status, evidence),
// each only when known; dates as ISO 8601 (2027-03-01).
void addDetails(QJsonObject &object, const VerdictDetails &details);
// The details those keys hold, bounded as a fresh answer's are; keys missing or malformed are
// left unknown.
VerdictDetails detailsFrom(const QJsonObject &object);
// `object` with the details' keys added.
QJsonObject withDetails(QJsonObject object, const VerdictDetails &details);

// A line of an answer cut to one printable line of at most `maxLength` characters.
QString boundedLine(const QString &text, int maxLength = VerdictDetails::MaxEvidence);

// The date at the start of a WHOIS value: 2027-03-01T00:00:00Z, 2027.03.01, 2027. 03. 01.,
// 2027/03/01, 20270301, 2027-Mar-01, 01-Mar-2027, 01-March-2027, 01.03.2027, 01/03/2027 (day
// first), Mon Mar 01 00:00:00 GMT 2027. Invalid when none is there.
QDate answerDate(const QString &value);

// The EPP code for a status as an answer writes it: "redemptionPeriod https://icann.org/epp#…",
// RDAP's "redemption period" (RFC 8056: "active" is ok), the older "PENDING-DELETE"; empty for
// text that is no status word.
QString eppCode(const QString &value);

} // namespace zandrel
