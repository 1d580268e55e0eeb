#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace zandrel {

// How one RDAP lookup ended: what the server said, or why it said nothing usable.
struct RdapEnd
{
    enum class How {
        Answered, // an HTTP answer arrived, whatever its status
        Failed, // no HTTP answer: bad base URL, connection or TLS failure
        CutOff, // a limit closed it
        RedirectLoop, // too many redirects, or one to a less safe address
        Abandoned // given up by the user (a stopped search)
    };

    How how = How::Answered;
    QString failure; // why, when it failed or a limit closed it
    int status = 0; // HTTP status; 0 when no HTTP answer arrived
    QString reasonPhrase; // as the server sent it (HTTP/2 sends none)
    QByteArray contentType;
    std::optional<qint64> retryAfterSeconds;
    QByteArray body;
    QUrl url; // where the answer came from, redirects followed; empty when not known
};

// The query URL for `aceName` under the service's `base` URL ("{base}domain/{name}"); an invalid
// URL when `base` is not an absolute http or https URL with a host.
QUrl rdapDomainUrl(const QString &base, const QString &aceName);

// Server or user text made safe for one line of the response box: control, format and line
// separator characters become blanks (so no text can forge a line the scans read), runs of blanks
// are folded, the length is bounded.
QString printableLine(const QString &text, int maxLength = 200);

// Retry-After as seconds from `now`: delta-seconds or an HTTP date, at most an hour (a server
// must not stall a search for longer); nothing for a missing or malformed value.
std::optional<qint64> parseRetryAfter(const QByteArray &value, const QDateTime &now);

// Whether `json` nests objects and arrays no deeper than `maxDepth`, checked without parsing.
bool jsonDepthWithin(const QByteArray &json, int maxDepth);

// The top-level object of an RDAP answer; an error when the text is larger than `maxBytes`, nests
// too deep, or is not a JSON object.
Result<QJsonObject> parseRdapObject(const QByteArray &body, qint64 maxBytes = 1 << 20);

// "STATUS REASON-PHRASE", the phrase from the standard list where there is one (HTTP/2 sends none,
// and a server's own is shown only when printable).
QString httpStatusLine(int status, const QString &serverPhrase);

// What an answered lookup says about the name it asked for.
enum class RdapSays { NotFound, Registered, RateLimited, ServerError, Unrecognised };

struct RdapReading
{
    RdapSays says = RdapSays::Unrecognised;
    QStringList lines; // for the response box, line ends not included
};

// Reads the answer to a lookup of `aceName`. A taken name shows its registration in the form of a
// WHOIS record, a free one "Domain not found (HTTP 404).", anything else the status line and what
// was wrong. A 404 or 200 whose body is not JSON (a web server's error page) is unrecognised. Text
// from the server is cut to printable characters, and to a bounded length and count.
RdapReading readRdapAnswer(const RdapEnd &end, const QString &aceName);

// Whether an RDAP error object says the service does not serve the TLD at all (an RDAP
// redirector's "not found in IANA bootstrap file", "TLD not supported" …), which is no
// registry's not-found.
bool saysTldUnserved(const QJsonObject &error);

// Whether an answer's body is meant as JSON (by its content type; a missing type counts).
bool looksLikeJson(const QByteArray &contentType);

} // namespace zandrel
