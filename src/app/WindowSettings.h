#pragma once

#include <QByteArray>
#include <QString>

namespace zandrel {

class SettingsStore;
class WhoState;

// Where the window keeps the options the user set ([Settings]) and its place ([Window]).
namespace windowKeys {
inline const QString ComSuffix = QStringLiteral("ComSuffix");
inline const QString QueryType = QStringLiteral("QueryType");
inline const QString Delay = QStringLiteral("Delay");
} // namespace windowKeys

// Sets the state's options the settings file holds; the others keep their defaults.
// Returns whether a delay was remembered: the box was set before, so its value is the pause.
bool restoreWindowOptions(WhoState &state, const SettingsStore &settings, const QString &title);
void saveWindowOption(SettingsStore &settings, const QString &title, const QString &key,
                      const QString &value);

// The window's saved geometry (QWidget::saveGeometry), empty when none is kept.
QByteArray savedGeometry(const SettingsStore &settings, const QString &title);
void saveGeometry(SettingsStore &settings, const QString &title, const QByteArray &geometry);

} // namespace zandrel
