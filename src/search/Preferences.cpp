#include "Preferences.h"

#include "platform/AppInfo.h"
#include "platform/SettingsStore.h"

namespace zandrel {

RouterSettings routerSettingsFrom(const SettingsStore &settings, const QString &title,
                                  const QString &serverOption, Protocol protocol, const QString &cacheFolder)
{
    RouterSettings result;
    ServerOverrides &overrides = result.overrides;
    overrides.serverOption = serverOption;
    overrides.whoisServer = settings.value(title, keys::Settings, keys::WhoisServer);
    overrides.protocol = protocol;
    for (const QString &tld : settings.keys(title, keys::Servers)) {
        if (tld != keys::Iana && tld != keys::RdapBootstrap)
            overrides.perTld.insert(tld.toLower(), settings.value(title, keys::Servers, tld));
    }
    result.ianaServer = settings.value(title, keys::Servers, keys::Iana, QStringLiteral("whois.iana.org"));
    result.rdapBootstrapUrl
        = settings.value(title, keys::Servers, keys::RdapBootstrap, RdapBootstrapCache::defaultSourceUrl());
    result.cacheFolder = cacheFolder.isEmpty() ? AppInfo::cacheFolder() : cacheFolder;
    return result;
}

} // namespace zandrel
