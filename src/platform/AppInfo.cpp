#include "AppInfo.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace zandrel {

AppInfo AppInfo::current()
{
    AppInfo info;
    info.folder = QCoreApplication::applicationDirPath();
    info.executableName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return info;
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
