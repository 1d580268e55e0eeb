#include "Details.h"

#include "RdapAnswer.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <array>

using namespace Qt::StringLiterals;

namespace zandrel {

namespace {

const std::array<QString, 5> StageNames {QString(), QStringLiteral("registered"), QStringLiteral("expired"),
                                         QStringLiteral("redemption"), QStringLiteral("pending-delete")};

// The EPP domain statuses (RFC 5731 section 2.3, RFC 3915 section 3.1) in their own spelling.
const QStringList EppCodes {
    QStringLiteral("ok"),
    QStringLiteral("inactive"),
    QStringLiteral("addPeriod"),
    QStringLiteral("autoRenewPeriod"),
    QStringLiteral("renewPeriod"),
    QStringLiteral("transferPeriod"),
    QStringLiteral("redemptionPeriod"),
    QStringLiteral("pendingCreate"),
    QStringLiteral("pendingDelete"),
    QStringLiteral("pendingRenew"),
    QStringLiteral("pendingRestore"),
    QStringLiteral("pendingTransfer"),
    QStringLiteral("pendingUpdate"),
    QStringLiteral("clientDeleteProhibited"),
    QStringLiteral("clientHold"),
    QStringLiteral("clientRenewProhibited"),
    QStringLiteral("clientTransferProhibited"),
    QStringLiteral("clientUpdateProhibited"),
    QStringLiteral("serverDeleteProhibited"),
    QStringLiteral("serverHold"),
    QStringLiteral("serverRenewProhibited"),
    QStringLiteral("serverTransferProhibited"),
    QStringLiteral("serverUpdateProhibited"),
};

QString isoDate(const QDate &date)
{
    return date.isValid() ? date.toString(Qt::ISODate) : QString();
}

} // namespace

QString stageName(Stage stage)
{
    return StageNames.at(size_t(stage));
}

std::optional<Stage> stageFromName(const QString &name)
{
    const auto found = std::find(StageNames.cbegin(), StageNames.cend(), name);
    return found == StageNames.cend() ? std::nullopt : std::optional(Stage(found - StageNames.cbegin()));
}

QString boundedLine(const QString &text, int maxLength)
{
    return printableLine(text, maxLength);
}

QDate answerDate(const QString &value)
{
    static const QRegularExpression numeric(
        QStringLiteral("^(\\d{4})(?:([-./]) ?(\\d{2})\\2 ?(\\d{2})|(\\d{2})(\\d{2})\\b)"));
    static const QRegularExpression yearFirst(QStringLiteral("^(\\d{4})-([A-Za-z]{3})-(\\d{1,2})\\b"));
    static const QRegularExpression dayFirst(QStringLiteral("^(\\d{1,2})([-./])(\\w{2,9})\\2(\\d{4})\\b"));
    static const QRegularExpression javaStyle(
        QStringLiteral("^[A-Za-z]{3} ([A-Za-z]{3}) (\\d{1,2}) [\\d:]+ [A-Za-z]+ (\\d{4})\\b"));
    static const QStringList months {u"jan"_s, u"feb"_s, u"mar"_s, u"apr"_s, u"may"_s, u"jun"_s,
                                     u"jul"_s, u"aug"_s, u"sep"_s, u"oct"_s, u"nov"_s, u"dec"_s};
    const QString text = value.trimmed().left(40);
    const auto month = [](const QString &word) {
        bool number = false;
        const int asNumber = word.toInt(&number);
        return number ? asNumber : int(months.indexOf(word.left(3).toLower())) + 1;
    };
    if (const QRegularExpressionMatch m = numeric.match(text); m.hasMatch()) {
        const bool split = m.capturedLength(2) > 0;
        return QDate(m.captured(1).toInt(), (split ? m.captured(3) : m.captured(5)).toInt(),
                     (split ? m.captured(4) : m.captured(6)).toInt());
    }
    if (const QRegularExpressionMatch m = yearFirst.match(text); m.hasMatch())
        return QDate(m.captured(1).toInt(), month(m.captured(2)), m.captured(3).toInt());
    if (const QRegularExpressionMatch m = dayFirst.match(text); m.hasMatch())
        return QDate(m.captured(4).toInt(), month(m.captured(3)), m.captured(1).toInt());
    if (const QRegularExpressionMatch m = javaStyle.match(text); m.hasMatch())
        return QDate(m.captured(3).toInt(), month(m.captured(1)), m.captured(2).toInt());
    return {};
}

QString eppCode(const QString &value)
{
    QString text = value.simplified();
    if (const qsizetype link = text.indexOf(QLatin1String("http"), 0, Qt::CaseInsensitive); link >= 0)
        text = text.left(link).trimmed();
    if (const qsizetype bracket = text.indexOf(u'('); bracket >= 0)
        text = text.left(bracket).trimmed();
    // "redemption period", "PENDING-DELETE": words joined the EPP way.
    const QStringList words = text.split(QRegularExpression(QStringLiteral("[ _-]")), Qt::SkipEmptyParts);
    QString code;
    for (const QString &word : words) {
        if (code.isEmpty())
            code = word;
        else
            code += word.left(1).toUpper() + word.mid(1).toLower();
    }
    if (code.isEmpty() || code.size() > VerdictDetails::MaxCode
        || !std::all_of(code.cbegin(), code.cend(),
                        [](QChar c) { return c.isLetter() && c.unicode() < 128; }))
        return {};
    // RFC 8056 section 2: RDAP's "active" is EPP's "ok"; CIRA wrote redemption alone.
    if (code.compare(QLatin1String("active"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("ok");
    if (code.compare(QLatin1String("redemption"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("redemptionPeriod");
    for (const QString &known : EppCodes) {
        if (known.compare(code, Qt::CaseInsensitive) == 0)
            return known;
    }
    return words.size() == 1 ? text : code;
}

void addDetails(QJsonObject &object, const VerdictDetails &details)
{
    const auto put = [&object](const char16_t *key, const QString &text) {
        if (!text.isEmpty())
            object.insert(QString::fromUtf16(key), text);
    };
    if (details.premium)
        object.insert(QStringLiteral("premium"), true);
    put(u"stage", stageName(details.stage));
    put(u"drops", isoDate(details.drops));
    put(u"registrar", details.registrar);
    put(u"created", isoDate(details.created));
    put(u"expires", isoDate(details.expires));
    if (!details.status.isEmpty())
        object.insert(QStringLiteral("status"), QJsonArray::fromStringList(details.status));
    put(u"evidence", details.evidence);
}

QJsonObject withDetails(QJsonObject object, const VerdictDetails &details)
{
    addDetails(object, details);
    return object;
}

VerdictDetails detailsFrom(const QJsonObject &object)
{
    VerdictDetails details;
    const auto date = [&object](const char16_t *key) {
        return QDate::fromString(object.value(QString::fromUtf16(key)).toString(), Qt::ISODate);
    };
    details.premium = object.value(u"premium").toBool(false);
    details.stage = stageFromName(object.value(u"stage").toString()).value_or(Stage::None);
    details.drops = date(u"drops");
    details.registrar = boundedLine(object.value(u"registrar").toString(), VerdictDetails::MaxText);
    details.created = date(u"created");
    details.expires = date(u"expires");
    for (const QJsonValue code : object.value(u"status").toArray()) {
        const QString text = eppCode(code.toString());
        if (!text.isEmpty() && details.status.size() < VerdictDetails::MaxStatus)
            details.status << text;
    }
    details.evidence = boundedLine(object.value(u"evidence").toString());
    return details;
}

} // namespace zandrel
