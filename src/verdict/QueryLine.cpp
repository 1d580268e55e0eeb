#include "QueryLine.h"

#include <QLocale>

#include <cmath>

namespace zandrel {

QString buildQueryLine(int queryType, const QString &term, bool comSuffix)
{
    // No control character reaches the server: a line end would start a second query, a NUL
    // would cut the line short.
    QString cleanTerm = term;
    cleanTerm.removeIf([](QChar c) { return c.unicode() < 0x20; });
    QString line;
    if (queryType == DomainSearch)
        line += QStringLiteral("DO ");
    line += cleanTerm;
    if (comSuffix)
        line += QStringLiteral(".com");
    line += QStringLiteral("\r\n");
    return line;
}

std::optional<int> parseDelayMs(const QString &text)
{
    bool ok = false;
    double seconds = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok)
        seconds = QLocale::system().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(seconds))
        return std::nullopt;
    const double whole = std::floor(seconds);
    if (whole < 1 || whole > 65)
        return std::nullopt;
    return int(whole) * 1000;
}

QString hostAndPort(const ServerAddress &server)
{
    const QString host = server.host.contains(u':') ? u'[' + server.host + u']' : server.host;
    return host + u':' + QString::number(server.port);
}

ServerAddress defaultWhoisServer()
{
    return {QStringLiteral("whois.verisign-grs.com"), 43};
}

std::optional<ServerAddress> parseServerAddress(const QString &text)
{
    const QString given = text.trimmed();
    if (given.isEmpty())
        return std::nullopt;
    ServerAddress address;
    QString host = given;
    QString port;
    if (given.startsWith(u'[')) {
        const qsizetype close = given.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        host = given.mid(1, close - 1);
        const QString rest = given.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(u':'))
                return std::nullopt;
            port = rest.mid(1);
        }
    } else if (given.count(u':') == 1) {
        const qsizetype colon = given.indexOf(u':');
        host = given.left(colon);
        port = given.mid(colon + 1);
    }
    if (host.isEmpty())
        return std::nullopt;
    address.host = host;
    if (!port.isNull()) {
        bool ok = false;
        const uint value = port.toUInt(&ok);
        if (!ok || value == 0 || value > 65535)
            return std::nullopt;
        address.port = quint16(value);
    }
    return address;
}

} // namespace zandrel
