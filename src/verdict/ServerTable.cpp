#include "ServerTable.h"

#include <QFile>

namespace zandrel {

namespace {

QStringList phrases(const QString &column)
{
    QStringList list;
    if (column == u"-")
        return list;
    for (const QString &piece : column.split(u'|')) {
        const QString phrase = piece.trimmed();
        if (!phrase.isEmpty())
            list << phrase;
    }
    return list;
}

const QString NoMatchQuoted = QStringLiteral("No match for \"{name}\".");
const QString NoMatchDomain = QStringLiteral("No match for domain \"{name}\".");

} // namespace

ServerTable ServerTable::parse(const QString &text)
{
    ServerTable table;
    for (const QString &rawLine : text.split(u'\n')) {
        QString line = rawLine;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList columns = line.split(u'\t');
        if (columns.size() != 7)
            continue;
        RegistryRules rules;
        rules.tld = columns[0].trimmed().toLower();
        rules.server = columns[1].trimmed();
        rules.query = columns[2].trimmed();
        if (rules.tld.isEmpty() || rules.tld.contains(u'.') || !parseServerAddress(rules.server)
            || !rules.query.contains(QStringLiteral("{name}")))
            continue;
        rules.notFound = phrases(columns[3]);
        rules.rateLimited = phrases(columns[4]);
        rules.record = phrases(columns[5]);
        rules.source = columns[6].trimmed();
        table.m_rows.insert(rules.tld, rules);
    }
    return table;
}

const ServerTable &ServerTable::builtIn()
{
    static const ServerTable table = [] {
        QFile file(QStringLiteral(":/zandrel/whois-servers.tsv"));
        if (!file.open(QIODevice::ReadOnly))
            return ServerTable();
        return parse(QString::fromUtf8(file.readAll()));
    }();
    return table;
}

const RegistryRules *ServerTable::row(const QString &tld) const
{
    const auto found = m_rows.constFind(tld);
    return found == m_rows.constEnd() ? nullptr : &found.value();
}

RegistryRules ServerTable::judgingRules(const QString &tld) const
{
    if (const RegistryRules *own = row(tld))
        return *own;
    RegistryRules rules;
    if (const RegistryRules *com = row(QStringLiteral("com")))
        rules = *com;
    else
        rules.record = {QStringLiteral("Domain Name: {name}")};
    for (const QString &phrase : {NoMatchQuoted, NoMatchDomain}) {
        if (!rules.notFound.contains(phrase, Qt::CaseInsensitive))
            rules.notFound << phrase;
    }
    rules.tld = tld;
    return rules;
}

QString queryFromTemplate(const QString &queryTemplate, int queryType, const QString &aceName)
{
    QString line = queryTemplate;
    const QString keyword = QStringLiteral("DO ");
    if (queryType != DomainSearch && line.startsWith(keyword))
        line.remove(0, keyword.size());
    line.replace(QStringLiteral("{name}"), aceName);
    line.remove(u'\r');
    line.remove(u'\n');
    return line + QStringLiteral("\r\n");
}

QString routingTld(const QString &aceName)
{
    const qsizetype dot = aceName.lastIndexOf(u'.');
    if (dot < 0)
        return QStringLiteral("com");
    return aceName.mid(dot + 1).toLower();
}

Route routeName(const QString &aceName, const ServerTable &table, const ServerOverrides &overrides,
                const std::function<std::optional<QString>(const QString &)> &referral)
{
    Route route;
    route.tld = routingTld(aceName);
    const RegistryRules *own = table.row(route.tld);
    const RegistryRules judging = table.judgingRules(route.tld);
    route.queryTemplate = judging.query;

    // An override changes where a lookup goes, never how it is asked or read.
    const auto useOverride = [&route](const QString &given, const QString &label) {
        if (given.trimmed().isEmpty())
            return false;
        if (const std::optional<ServerAddress> address = parseServerAddress(given)) {
            route.server = *address;
            return true;
        }
        route.malformed << label + QStringLiteral("=") + given;
        return false;
    };
    if (useOverride(overrides.serverOption, QStringLiteral("--server")))
        return route;
    if (useOverride(overrides.perTld.value(route.tld), QStringLiteral("[Servers] ") + route.tld))
        return route;
    if (useOverride(overrides.whoisServer, QStringLiteral("WhoisServer")))
        return route;
    if (own) {
        route.server = *parseServerAddress(own->server);
        return route;
    }
    const std::optional<QString> referred = referral ? referral(route.tld) : std::nullopt;
    if (!referred) {
        route.kind = Route::Kind::AskIana;
        return route;
    }
    const std::optional<ServerAddress> address = parseServerAddress(*referred);
    if (!address) {
        route.kind = Route::Kind::NoServer;
        return route;
    }
    route.server = *address;
    return route;
}

} // namespace zandrel
