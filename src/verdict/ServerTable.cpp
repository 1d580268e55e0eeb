#include "ServerTable.h"

#include "Registrable.h"
#include "text/AnswerDecoder.h"
#include "verdict/RdapAnswer.h"

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
        if (columns.size() < 7 || columns.size() > 10)
            continue;
        RegistryRules rules;
        rules.tld = columns[0].trimmed().toLower();
        rules.server = columns[1].trimmed();
        rules.query = columns[2].trimmed();
        // An optional eighth column names the registry's RDAP service, after the word "rdap" when
        // the registry is better asked there.
        rules.rdapBase = columns.value(7).trimmed();
        if (const QString word = rules.rdapBase.section(u' ', 0, 0);
            word.compare(u"rdap", Qt::CaseInsensitive) == 0) {
            rules.rdapFirst = true;
            rules.rdapBase = rules.rdapBase.mid(word.size()).trimmed();
        }
        if (rules.rdapBase == u"-" || !rdapDomainUrl(rules.rdapBase, QStringLiteral("x")).isValid())
            rules.rdapBase.clear();
        // No WHOIS server: RDAP only, at the row's base or the one IANA's bootstrap names.
        if (rules.server == u"-")
            rules.server.clear();
        else if (!parseServerAddress(rules.server))
            continue;
        if (rules.tld.isEmpty() || rules.tld.contains(u'.')
            || !rules.query.contains(QStringLiteral("{name}")))
            continue;
        rules.notFound = phrases(columns[3]);
        for (QString &phrase : rules.notFound) {
            if (phrase.startsWith(u'!')) {
                rules.freeFirst = true;
                phrase = phrase.mid(1).trimmed();
            }
        }
        rules.rateLimited = phrases(columns[4]);
        rules.record = phrases(columns[5]);
        rules.source = columns[6].trimmed();
        // An optional ninth column lists the second-level suffixes the registry serves.
        for (const QString &suffix : columns.value(8).split(u',', Qt::SkipEmptyParts)) {
            const QString trimmed = suffix.trimmed().toLower();
            if (trimmed != u"-" && trimmed.endsWith(u'.' + rules.tld))
                rules.secondLevel << trimmed;
        }
        // An optional tenth column names the charset the server answers in; one Qt cannot decode
        // leaves the default.
        rules.charset = columns.value(9).trimmed().toLower();
        if (rules.charset == u"-" || !isKnownCharset(rules.charset))
            rules.charset.clear();
        if (const RegistryRules *old = table.row(rules.tld); old && !old->server.isEmpty())
            table.m_tldsByHost[parseServerAddress(old->server)->host.toLower()].removeAll(rules.tld);
        if (!rules.server.isEmpty()) {
            const QString host = parseServerAddress(rules.server)->host.toLower();
            QStringList &tlds = table.m_tldsByHost[host];
            tlds << rules.tld;
            tlds.sort();
            if (!rules.charset.isEmpty())
                table.m_charsetByHost.insert(host, rules.charset);
        }
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

QStringList ServerTable::tldsServedBy(const QString &host) const
{
    return m_tldsByHost.value(host.toLower());
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

QString protocolName(Protocol protocol)
{
    switch (protocol) {
    case Protocol::Whois:
        return QStringLiteral("whois");
    case Protocol::Rdap:
        return QStringLiteral("rdap");
    case Protocol::Auto:
        break;
    }
    return QStringLiteral("auto");
}

std::optional<Protocol> parseProtocol(const QString &text)
{
    const QString word = text.trimmed().toLower();
    if (word == u"auto")
        return Protocol::Auto;
    if (word == u"whois")
        return Protocol::Whois;
    if (word == u"rdap")
        return Protocol::Rdap;
    return std::nullopt;
}

namespace {

// Whether the registry behind `rules` holds names under the name's public suffix: always for a
// name right under the TLD, and under a longer suffix only when the row lists it.
Authority suffixAuthority(const QString &aceName, const RegistryRules &rules, const QString &tld)
{
    const QString suffix = registrySuffix(aceName);
    if (!suffix.contains(u'.') || rules.secondLevel.contains(suffix))
        return {};
    return {Authority::Kind::OtherSuffix,
            QStringLiteral("Names under .%1 are not known to be held by the .%2 registry: its not-found "
                           "answer does not make %3 free.")
                .arg(suffix, tld, aceName.toLower())};
}

// The authority of one server that --server or WhoisServer sends every name to.
Authority sharedServerAuthority(const ServerAddress &server, const QString &tld, const RegistryRules *own,
                                const std::optional<QString> &referred, const ServerTable &table)
{
    const QString host = server.host.toLower();
    const auto sameHost = [&host](const QString &given) {
        const std::optional<ServerAddress> address = parseServerAddress(given);
        return address && address->host.toLower() == host;
    };
    if ((own && sameHost(own->server)) || (referred && sameHost(*referred)))
        return {};
    const QStringList others = table.tldsServedBy(host);
    if (!others.isEmpty())
        return {Authority::Kind::OtherRegistry,
                QStringLiteral("%1 is the registry of .%2, not of .%3: its not-found answer does not make "
                               "the name free.")
                    .arg(server.host, others.join(QStringLiteral(", .")), tld)};
    return {Authority::Kind::SharedServer,
            QStringLiteral("%1 does not hold .%2 names, as its answer says: its not-found answer does not "
                           "make the name free.")
                .arg(server.host, tld)};
}

} // namespace

Route routeName(const QString &aceName, const ServerTable &table, const ServerOverrides &overrides,
                const std::function<std::optional<QString>(const QString &)> &referral,
                const std::function<bool(const QString &)> &rdapServes)
{
    Route route;
    route.tld = routingTld(aceName);
    const RegistryRules *own = table.row(route.tld);
    const RegistryRules judging = table.judgingRules(route.tld);
    route.queryTemplate = judging.query;
    // Said again below where the server asked is not the registry's own.
    route.authority = suffixAuthority(aceName, judging, route.tld);
    const auto referred = [&]() {
        return referral ? referral(route.tld) : std::nullopt;
    };

    const auto useRdap = [&route](const QString &base) {
        route.kind = Route::Kind::Rdap;
        route.rdapBase = base;
        return route;
    };
    // A [Servers] value "rdap:BASEURL" names an RDAP service.
    const QString perTld = overrides.perTld.value(route.tld).trimmed();
    const QString rdapPrefix = QStringLiteral("rdap:");
    const bool perTldIsRdap = perTld.startsWith(rdapPrefix, Qt::CaseInsensitive);
    const QString perTldBase = perTldIsRdap ? perTld.mid(rdapPrefix.size()).trimmed() : QString();
    const QString ownRdapBase = own ? own->rdapBase : QString();
    if (overrides.protocol == Protocol::Rdap)
        return useRdap(perTldIsRdap ? perTldBase : ownRdapBase);

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
    // One server for every name speaks for the name's registry only where it is that registry.
    const auto shared = [&]() {
        if (route.authority.kind == Authority::Kind::Registry)
            route.authority = sharedServerAuthority(route.server, route.tld, own, referred(), table);
        return route;
    };
    const bool mayUseRdap = overrides.protocol == Protocol::Auto;
    if (useOverride(overrides.serverOption, QStringLiteral("--server")))
        return shared();
    if (perTldIsRdap && mayUseRdap)
        return useRdap(perTldBase);
    if (!perTldIsRdap && useOverride(perTld, QStringLiteral("[Servers] ") + route.tld))
        return route;
    if (useOverride(overrides.whoisServer, QStringLiteral("WhoisServer")))
        return shared();
    // A row whose answers can never make a name free is asked over RDAP where that is allowed.
    if (own && mayUseRdap && (own->server.isEmpty() || own->notFound.isEmpty() || own->rdapFirst)) {
        if (!own->server.isEmpty())
            route.server = *parseServerAddress(own->server);
        return useRdap(own->rdapBase);
    }
    if (own && !own->server.isEmpty()) {
        route.server = *parseServerAddress(own->server);
        return route;
    }
    if (own) {
        route.kind = Route::Kind::NoServer;
        return route;
    }
    // A TLD the table lacks is asked of its registry's RDAP service, whose 404 is a plain not-found,
    // rather than of a WHOIS server whose phrases are not known.
    if (mayUseRdap && rdapServes && rdapServes(aceName))
        return useRdap({});
    const std::optional<QString> referredHost = referred();
    if (!referredHost) {
        route.kind = Route::Kind::AskIana;
        return route;
    }
    const std::optional<ServerAddress> address = parseServerAddress(*referredHost);
    if (!address) {
        if (mayUseRdap)
            return useRdap({});
        route.kind = Route::Kind::NoServer;
        return route;
    }
    // The .com form ("DO name") is Verisign's; any other registry is asked for the bare name.
    route.queryTemplate = QStringLiteral("{name}");
    route.server = *address;
    return route;
}

} // namespace zandrel
