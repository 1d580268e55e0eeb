#include "WindowSettings.h"

#include "WhoState.h"
#include "platform/SettingsStore.h"

namespace zandrel {

namespace {
const QString SettingsSection = QStringLiteral("Settings");
const QString WindowSection = QStringLiteral("Window");
const QString GeometryKey = QStringLiteral("Geometry");
} // namespace

bool restoreWindowOptions(WhoState &state, const SettingsStore &settings, const QString &title)
{
    if (settings.contains(title, SettingsSection, windowKeys::ComSuffix))
        state.ComSuffix = settings.value(title, SettingsSection, windowKeys::ComSuffix) != u"0";
    if (settings.contains(title, SettingsSection, windowKeys::QueryType))
        state.QueryType = settings.value(title, SettingsSection, windowKeys::QueryType) == u"1" ? 1 : 0;
    if (!settings.contains(title, SettingsSection, windowKeys::Delay))
        return false;
    state.Delay.setText(settings.value(title, SettingsSection, windowKeys::Delay));
    return true;
}

void saveWindowOption(SettingsStore &settings, const QString &title, const QString &key, const QString &value)
{
    settings.setValue(title, SettingsSection, key, value);
}

QByteArray savedGeometry(const SettingsStore &settings, const QString &title)
{
    return QByteArray::fromBase64(settings.value(title, WindowSection, GeometryKey).toLatin1());
}

void saveGeometry(SettingsStore &settings, const QString &title, const QByteArray &geometry)
{
    settings.setValue(title, WindowSection, GeometryKey, QString::fromLatin1(geometry.toBase64()));
}

} // namespace zandrel
