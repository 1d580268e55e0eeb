#include "RdapAnswer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>

namespace zandrel {

namespace {

constexpr qint64 MaxRetryAfterSeconds = 3600;
constexpr int MaxJsonDepth = 32;
constexpr int MaxLinesPerField = 20;

QString stringAt(const QJsonObject &object, const QString &key)
{
    return printableLine(object.value(key).toString());
}

// The "fn" (full name) of a jCard: ["vcard", [["fn", {}, "text", "NAME"], ...]].
QString vcardName(const QJsonValue &vcard)
{
    const QJsonArray properties = vcard.toArray().at(1).toArray();
    for (const QJsonValue &property : properties) {
        const QJsonArray fields = property.toArray();
        if (fields.at(0).toString() == u"fn")
            return printableLine(fields.at(3).toString());
    }
    return {};
}

QString registrarName(const QJsonObject &domain)
{
    for (const QJsonValue &entity : domain.value(u"entities").toArray()) {
        const QJsonObject object = entity.toObject();
        if (object.value(u"roles").toArray().contains(QJsonValue(QStringLiteral("registrar"))))
            return vcardName(object.value(u"vcardArray"));
    }
    return {};
}

QStringList registrationLines(const QJsonObject &domain)
{
    QStringList lines;
    const auto add = [&lines](const QString &label, const QString &value) {
        if (!value.isEmpty())
            lines << QStringLiteral("   ") + label + QStringLiteral(": ") + value;
    };
    add(QStringLiteral("Domain Name"), stringAt(domain, QStringLiteral("ldhName")).toUpper());
    add(QStringLiteral("Registrar"), registrarName(domain));
    const QJsonArray statuses = domain.value(u"status").toArray();
    for (qsizetype i = 0; i < std::min<qsizetype>(statuses.size(), MaxLinesPerField); ++i)
        add(QStringLiteral("Domain Status"), printableLine(statuses.at(i).toString()));
    const QJsonArray servers = domain.value(u"nameservers").toArray();
    for (qsizetype i = 0; i < std::min<qsizetype>(servers.size(), MaxLinesPerField); ++i)
        add(QStringLiteral("Name Server"),
            stringAt(servers.at(i).toObject(), QStringLiteral("ldhName")).toUpper());
    const QJsonArray events = domain.value(u"events").toArray();
    const std::pair<const char16_t *, const char16_t *> dates[] = {
        {u"last changed", u"Updated Date"},
        {u"registration", u"Creation Date"},
        {u"expiration", u"Registry Expiry Date"},
    };
    for (const auto &[action, label] : dates) {
        for (const QJsonValue &event : events) {
            const QJsonObject object = event.toObject();
            if (object.value(u"eventAction").toString() == action) {
                add(QString::fromUtf16(label), stringAt(object, QStringLiteral("eventDate")));
                break;
            }
        }
    }
    return lines;
}

// Names compare without case and without the root's dot ("amazon.cyou." is amazon.cyou).
bool sameDomain(QString given, QString asked)
{
    for (QString *name : {&given, &asked}) {
        if (name->endsWith(u'.'))
            name->chop(1);
    }
    return !given.isEmpty() && given.compare(asked, Qt::CaseInsensitive) == 0;
}

} // namespace

QUrl rdapDomainUrl(const QString &base, const QString &aceName)
{
    QUrl url(base.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https") || url.host().isEmpty())
        return {};
    QString path = url.path();
    if (!path.endsWith(u'/'))
        path += u'/';
    url.setPath(path + QStringLiteral("domain/") + QString::fromLatin1(QUrl::toPercentEncoding(aceName)));
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

QString printableLine(const QString &text, int maxLength)
{
    QString out;
    out.reserve(std::min<qsizetype>(text.size(), maxLength));
    for (const QChar c : text) {
        if (out.size() >= maxLength)
            break;
        const bool breaksLine
            = c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph;
        out += c.isPrint() && !breaksLine ? c : QChar(u' ');
    }
    return out.simplified();
}

std::optional<qint64> parseRetryAfter(const QByteArray &value, const QDateTime &now)
{
    const QByteArray text = value.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        if (text.size() > 9)
            return MaxRetryAfterSeconds;
        return std::min(text.toLongLong(), MaxRetryAfterSeconds);
    }
    // An HTTP date names its zone "GMT", which the RFC 2822 reader wants as an offset.
    QString date = QString::fromLatin1(text);
    if (date.endsWith(QStringLiteral(" GMT")))
        date = date.chopped(3) + QStringLiteral("+0000");
    const QDateTime when = QDateTime::fromString(date, Qt::RFC2822Date);
    if (!when.isValid())
        return std::nullopt;
    return std::clamp<qint64>(now.secsTo(when), 0, MaxRetryAfterSeconds);
}

bool jsonDepthWithin(const QByteArray &json, int maxDepth)
{
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : json) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > maxDepth)
                return false;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return true;
}

Result<QJsonObject> parseRdapObject(const QByteArray &body, qint64 maxBytes)
{
    if (body.size() > maxBytes)
        return Error(QStringLiteral("The answer is larger than %1 bytes.").arg(maxBytes));
    if (!jsonDepthWithin(body, MaxJsonDepth))
        return Error(QStringLiteral("The answer nests deeper than %1 levels.").arg(MaxJsonDepth));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return Error(QStringLiteral("The answer is not RDAP JSON."));
    return document.object();
}

QString httpStatusLine(int status, const QString &serverPhrase)
{
    static const QHash<int, QString> phrases = {
        {200, QStringLiteral("OK")},
        {301, QStringLiteral("Moved Permanently")},
        {302, QStringLiteral("Found")},
        {303, QStringLiteral("See Other")},
        {307, QStringLiteral("Temporary Redirect")},
        {308, QStringLiteral("Permanent Redirect")},
        {400, QStringLiteral("Bad Request")},
        {401, QStringLiteral("Unauthorized")},
        {403, QStringLiteral("Forbidden")},
        {404, QStringLiteral("Not Found")},
        {405, QStringLiteral("Method Not Allowed")},
        {406, QStringLiteral("Not Acceptable")},
        {410, QStringLiteral("Gone")},
        {422, QStringLiteral("Unprocessable Content")},
        {429, QStringLiteral("Too Many Requests")},
        {500, QStringLiteral("Internal Server Error")},
        {501, QStringLiteral("Not Implemented")},
        {502, QStringLiteral("Bad Gateway")},
        {503, QStringLiteral("Service Unavailable")},
        {504, QStringLiteral("Gateway Timeout")},
    };
    const QString phrase = phrases.value(status, printableLine(serverPhrase, 64));
    return (QStringLiteral("HTTP %1 ").arg(status) + phrase).trimmed();
}

bool saysTldUnserved(const QJsonObject &error)
{
    QString text = error.value(u"title").toString();
    for (const QJsonValue line : error.value(u"description").toArray())
        text += u' ' + line.toString();
    text = text.simplified().toLower();
    if (text.contains(u"bootstrap"))
        return true;
    static const QStringList tldWords {QStringLiteral("tld"), QStringLiteral("top-level domain"),
                                       QStringLiteral("top level domain"), QStringLiteral("zone")};
    static const QStringList refusals {
        QStringLiteral("not supported"), QStringLiteral("unsupported"),       QStringLiteral("unknown"),
        QStringLiteral("not served"),    QStringLiteral("not authoritative"), QStringLiteral("invalid tld"),
        QStringLiteral("no rdap")};
    const auto holds = [&text](const QStringList &words) {
        return std::any_of(words.cbegin(), words.cend(),
                           [&text](const QString &w) { return text.contains(w); });
    };
    return holds(tldWords) && holds(refusals);
}

bool looksLikeJson(const QByteArray &contentType)
{
    const QByteArray type = contentType.split(';').first().trimmed().toLower();
    return type.isEmpty() || type == "application/rdap+json" || type == "application/json";
}

RdapReading readRdapAnswer(const RdapEnd &end, const QString &aceName)
{
    const QString statusLine = httpStatusLine(end.status, end.reasonPhrase);
    if (end.status == 429)
        return {RdapSays::RateLimited, {statusLine}};
    if (end.status >= 500 && end.status <= 599)
        return {RdapSays::ServerError, {statusLine}};
    if (end.status != 200 && end.status != 404)
        return {RdapSays::Unrecognised, {statusLine}};
    if (!looksLikeJson(end.contentType))
        return {RdapSays::Unrecognised, {statusLine, QStringLiteral("The answer is not RDAP JSON.")}};
    // A not-found answer may come without a body; a body that is there must be RDAP.
    if (end.status == 404 && end.body.trimmed().isEmpty())
        return {RdapSays::NotFound, {QStringLiteral("Domain not found (HTTP 404).")}};
    const Result<QJsonObject> object = parseRdapObject(end.body);
    if (!object)
        return {RdapSays::Unrecognised, {statusLine, object.error().text}};
    if (end.status == 404 && saysTldUnserved(*object))
        return {RdapSays::Unrecognised,
                {statusLine, QStringLiteral("The service does not serve this TLD, as its answer says.")}};
    if (end.status == 404)
        return {RdapSays::NotFound, {QStringLiteral("Domain not found (HTTP 404).")}};
    if (!sameDomain(object->value(u"ldhName").toString(), aceName))
        return {RdapSays::Unrecognised,
                {statusLine, QStringLiteral("The answer does not name this domain.")}};
    return {RdapSays::Registered, registrationLines(*object)};
}

} // namespace zandrel
