#include "AppInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace zandrel {

AppInfo AppInfo::current()
{
    AppInfo info;
    info.folder = QCoreApplication::applicationDirPath();
    info.executableName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return info;
}

QString AppInfo::cacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QStringLiteral("/zandrel");
}

QString AppInfo::dataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/zandrel");
}

QString AppInfo::stateFolder()
{
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    return (state.startsWith(u'/') ? state : QDir::homePath() + QStringLiteral("/.local/state"))
        + QStringLiteral("/zandrel");
}

QString AppInfo::versionLine() const
{
    return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

QString AppInfo::location() const
{
    return folder + QLatin1Char('/') + QFileInfo(executableName).completeBaseName();
}

} // namespace zandrel
