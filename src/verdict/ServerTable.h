#pragma once

#include "Verdict.h"
#include "verdict/QueryLine.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace zandrel {

// How one registry is asked and how its answers read. Phrases may hold "{name}" for the name asked.
struct RegistryRules
{
    QString tld; // lower case, no dot; ACE for an internationalised TLD
    QString server; // "host" or "host:port"
    QString query = QStringLiteral("{name}"); // a leading "DO " is the "Domain Search" keyword
    QStringList notFound;
    // The registry's free answer names the domain too (its not-found phrases are written with a
    // leading "!"): an answer naming the domain is free with a not-found phrase, taken without.
    bool freeFirst = false;
    QStringList rateLimited;
    QStringList record;
    QString source;
    // The registry's RDAP service, beside its WHOIS server or instead of it (then `server` is
    // empty); empty: the one IANA's bootstrap names.
    QString rdapBase;
    // The registry is better asked over RDAP (its port 43 gives less): the auto protocol asks there.
    bool rdapFirst = false;
    // The second-level suffixes the registry holds names under ("co.uk", "org.uk" …); a name
    // under another multi-label public suffix of the TLD is never free by its answer.
    QStringList secondLevel;
    // The charset the WHOIS server answers in ("iso-8859-1"); empty: UTF-8, or Latin-1 for an
    // answer whose bytes are not UTF-8.
    QString charset;
};

// The registry WHOIS servers by TLD, as data: the table compiled into the program, or any text of
// the same form. A row that does not parse is skipped.
class ServerTable
{
public:
    static ServerTable parse(const QString &text);
    // The table built into the program, read once.
    static const ServerTable &builtIn();

    const RegistryRules *row(const QString &tld) const;
    // The rules an answer about a name under `tld` is judged by: the TLD's row, or for a TLD
    // without one the .com/.net registry's, in both its historical and its present phrasing.
    RegistryRules judgingRules(const QString &tld) const;
    qsizetype size() const { return m_rows.size(); }
    QStringList tlds() const { return m_rows.keys(); }
    // The TLDs whose rows name `host` as their WHOIS server (case ignored), sorted.
    QStringList tldsServedBy(const QString &host) const;
    // The charset a row naming `host` as its WHOIS server gives (case ignored); empty when none does.
    QString charsetOf(const QString &host) const { return m_charsetByHost.value(host.toLower()); }

private:
    QHash<QString, RegistryRules> m_rows;
    QHash<QString, QStringList> m_tldsByHost; // lower-case host
    QHash<QString, QString> m_charsetByHost; // lower-case host
};

// The query line for `aceName` from a row's template: the "DO " keyword only in the "Domain
// Search" form, line breaks dropped, CR LF at the end.
QString queryFromTemplate(const QString &queryTemplate, int queryType, const QString &aceName);

// The last label of a name, lower case; a name of one label is routed as a .com name.
QString routingTld(const QString &aceName);

// Which protocol lookups use: WHOIS where the routing yields a WHOIS server and RDAP elsewhere
// (auto), or one of them for every name.
enum class Protocol { Auto, Whois, Rdap };

// "auto", "whois" or "rdap", case ignored; nothing for anything else.
std::optional<Protocol> parseProtocol(const QString &text);
// "auto", "whois" or "rdap", as parseProtocol() reads it.
QString protocolName(Protocol protocol);

// Where lookups go besides the table, highest first.
struct ServerOverrides
{
    QString serverOption; // --server HOST[:PORT]: always WHOIS
    QHash<QString, QString> perTld; // [Servers] TLD=HOST[:PORT] or TLD=rdap:BASEURL
    QString whoisServer; // the "WhoisServer" setting
    Protocol protocol = Protocol::Auto;

    friend bool operator==(const ServerOverrides &, const ServerOverrides &) = default;
};

struct Route
{
    enum class Kind {
        Server, // ask `server`
        AskIana, // the table has no row: ask the IANA server which server serves `tld`
        NoServer, // IANA lists no WHOIS server for `tld`
        Rdap // ask the RDAP service at `rdapBase`; empty: the one IANA's bootstrap names for the name,
             // or, where it names none, `server` when the row has one
    };
    Kind kind = Kind::Server;
    QString tld;
    ServerAddress server;
    QString queryTemplate = QStringLiteral("DO {name}");
    QString rdapBase;
    // Whether an answer from there can make the name free, and why not when it cannot.
    Authority authority;
    // Overrides that were given but could not be read; the caller tells the user.
    QStringList malformed;
};

// Routes a name by its last label. `referral` gives what IANA said before for a TLD without a
// row: nothing when it was not asked, an empty host when it lists none; a referred server is
// asked for the bare name. With the auto protocol a name goes to RDAP where the table has no row
// and `rdapServes` (the RDAP bootstrap) knows a service for the name, where no WHOIS server is
// found, where the table names only an RDAP service, its row has no not-found phrase (so its
// WHOIS answers could never make a name free; its server stays the way where no RDAP service is
// known) or says RDAP first, or where a [Servers] value names one; with rdap every name does,
// --server and WHOIS settings aside. The route's authority says whether the server asked speaks
// for the name's registry.
Route routeName(const QString &aceName, const ServerTable &table, const ServerOverrides &overrides,
                const std::function<std::optional<QString>(const QString &tld)> &referral = {},
                const std::function<bool(const QString &aceName)> &rdapServes = {});

} // namespace zandrel
