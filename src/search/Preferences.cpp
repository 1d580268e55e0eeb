#include "Preferences.h"

#include "platform/AppInfo.h"
#include "platform/SettingsStore.h"
#include "search/Pace.h"
#include "verdict/Registrable.h"

#include <QFile>
#include <QRegularExpression>

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

std::optional<QStringList> parseTlds(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    static const QRegularExpression label(QStringLiteral("^[a-z0-9]([a-z0-9-]{0,61}[a-z0-9])?$"));
    QStringList tlds;
    for (QString tld : text.split(separators, Qt::SkipEmptyParts)) {
        tld = tld.toLower();
        if (tld.startsWith(u'.'))
            tld.remove(0, 1);
        // A TLD typed in its own script is asked in its ACE form, as typed in that form.
        if (!label.match(tld).hasMatch())
            tld = asciiName(tld).value_or(QString()).toLower();
        if (!label.match(tld).hasMatch())
            return std::nullopt;
        if (!tlds.contains(tld))
            tlds << tld;
    }
    if (tlds.isEmpty())
        return std::nullopt;
    return tlds;
}

QStringList tldsSetting(const SettingsStore &settings, const QString &title)
{
    return parseTlds(settings.value(title, keys::Settings, keys::Tlds, QStringLiteral("com")))
        .value_or(QStringList {QStringLiteral("com")});
}

DnsSettings dnsSettingsFrom(const SettingsStore &settings, const QString &title, const QString &serverOption)
{
    DnsSettings result;
    result.server = serverOption.isEmpty() ? settings.value(title, keys::Dns, keys::Server) : serverOption;
    return result;
}

Result<void> addOperators(Paces &paces, const SettingsStore &settings, const QString &title,
                          const QString &path)
{
    QString lines;
    for (const QString &name : settings.keys(title, keys::Operators))
        lines += name + u'\t' + settings.value(title, keys::Operators, name) + u'\n';
    if (const Result<void> added = paces.addLines(lines, QStringLiteral("[Operators]")); !added)
        return added;
    if (path.isEmpty())
        return {};
    QFile file(path);
    // An operators file is a few lines; anything past this is no such file.
    constexpr qint64 MaxBytes = 1 << 20;
    if (!file.open(QIODevice::ReadOnly))
        return Error(QStringLiteral("--operators: cannot read '%1': %2").arg(path, file.errorString()));
    if (file.size() > MaxBytes)
        return Error(QStringLiteral("--operators: '%1' is larger than 1 MiB").arg(path));
    return paces.addLines(QString::fromUtf8(file.read(MaxBytes)), QStringLiteral("--operators: ") + path);
}

} // namespace zandrel
