#pragma once

#include "lookup/DnsCheck.h"
#include "lookup/Router.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace zandrel {

class SettingsStore;

// Settings addresses.
namespace keys {
inline const QString Keltrow = QStringLiteral("Keltrow");
inline const QString Application = QStringLiteral("Application");
inline const QString Settings = QStringLiteral("Settings");
inline const QString Location = QStringLiteral("Zandrel");
inline const QString KelEdit = QStringLiteral("KelEdit");
inline const QString PrefixPath = QStringLiteral("PrefixPath");
inline const QString SuffixPath = QStringLiteral("SuffixPath");
inline const QString Nag = QStringLiteral("Nag");
inline const QString SearchTerm = QStringLiteral("SearchTerm");
inline const QString WhoisServer = QStringLiteral("WhoisServer");
inline const QString Servers = QStringLiteral("Servers");
inline const QString Iana = QStringLiteral("iana");
inline const QString RdapBootstrap = QStringLiteral("rdap-bootstrap");
inline const QString Tlds = QStringLiteral("Tlds");
inline const QString DnsFirst = QStringLiteral("DnsFirst");
inline const QString Dns = QStringLiteral("Dns");
inline const QString Server = QStringLiteral("Server");
inline const QString Operators = QStringLiteral("Operators");
inline const QString AutoPace = QStringLiteral("AutoPace");
} // namespace keys

// The settings lookups are made with: the --server option, the server overrides of the settings
// file, the protocol, and where fetched server facts are kept (empty: the user's cache folder).
RouterSettings routerSettingsFrom(const SettingsStore &settings, const QString &title,
                                  const QString &serverOption, Protocol protocol, const QString &cacheFolder);

// "com, net .io" as the TLDs ["com", "net", "io"]: separated by commas or blanks, a leading dot
// dropped, lower case, each once, in the order given. Nothing when one is not a DNS label of
// letters, digits and hyphens (an IDN TLD in its xn-- form) or when none is given.
std::optional<QStringList> parseTlds(const QString &text);

// The TLDs the window appends, from "[Settings] Tlds" (default "com"; a bad value reads as "com").
QStringList tldsSetting(const SettingsStore &settings, const QString &title);

// The resolver DNS-first runs ask: `serverOption` (--dns) when given, else "[Dns] Server", else the
// system's.
DnsSettings dnsSettingsFrom(const SettingsStore &settings, const QString &title, const QString &serverOption);

// The user's operators on top of the built-in table: "[Operators]" in the settings file (the
// operator's name as key, its servers and budgets, separated by a tab, as value), then the lines of
// the file `path` (--operators), where given.
class Paces;
Result<void> addOperators(Paces &paces, const SettingsStore &settings, const QString &title,
                          const QString &path);

} // namespace zandrel
