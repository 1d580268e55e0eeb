#pragma once

#include <QString>

#include <optional>

namespace zandrel {

// The two query forms of the "Domain Search" / "Whois" option buttons.
enum QueryForm : int { DomainSearch = 0, PlainWhois = 1 };

// One WHOIS query line: "DO " for a domain search, the term, ".com" when asked, CR LF. Control
// characters (line breaks, NUL …) inside the term are dropped, so a term can never put a second
// query on the connection or cut the line short.
QString buildQueryLine(int queryType, const QString &term, bool comSuffix);

// The pause interval for a "Internic Delay:" text: its integer part, 1 to 65 seconds, in ms.
// Anything else gives no value, and the caller keeps the interval it had.
std::optional<int> parseDelayMs(const QString &text);

struct ServerAddress
{
    QString host;
    quint16 port = 43;
};

// The registry's public WHOIS server.
ServerAddress defaultWhoisServer();

// "HOST:PORT", with an IPv6 address in brackets.
QString hostAndPort(const ServerAddress &server);

// "HOST" or "HOST:PORT" (also "[IPv6]:PORT"); nothing for an empty text or a bad port.
std::optional<ServerAddress> parseServerAddress(const QString &text);

} // namespace zandrel
