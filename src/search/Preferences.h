#pragma once

#include "lookup/Router.h"

#include <QString>

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
} // namespace keys

// The settings lookups are made with: the --server option, the server overrides of the settings
// file, the protocol, and where fetched server facts are kept (empty: the user's cache folder).
RouterSettings routerSettingsFrom(const SettingsStore &settings, const QString &title,
                                  const QString &serverOption, Protocol protocol, const QString &cacheFolder);

} // namespace zandrel
