#pragma once

#include <QString>

namespace zandrel {

// Facts about the running program: its folder, executable name, title, description and version.
struct AppInfo
{
    QString folder;
    QString executableName;
    QString title = QStringLiteral("Zandrel");
    QString description = QStringLiteral("zandrel50");
    int major = 5;
    int minor = 0;
    int revision = 0;

    // Taken from the running executable.
    static AppInfo current();
    // The user's folders for what the program keeps: $XDG_CACHE_HOME/zandrel (what can be fetched
    // again) and $XDG_DATA_HOME/zandrel (journals, reports that found no other place).
    static QString cacheFolder();
    static QString dataFolder();
    // $XDG_STATE_HOME/zandrel (~/.local/state/zandrel): what every run of the user shares.
    static QString stateFolder();

    // "Version 5.0.0"
    QString versionLine() const;
    // The folder, "/" and the executable's name without extension.
    QString location() const;
};

} // namespace zandrel
