#include "app/SystemClipboard.h"
#include "app/Who.h"
#include "app/WhoController.h"
#include "platform/AppInfo.h"
#include "platform/Clock.h"
#include "platform/EventYield.h"
#include "platform/Launcher.h"
#include "platform/SettingsStore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zandrel"));
    QApplication::setApplicationVersion(QStringLiteral("5.0.0"));
    QApplication::setDesktopFileName(QStringLiteral("zandrel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/zandrel.svg")));

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Finds Internet domain names that are still free."));
    options.addHelpOption();
    options.addVersionOption();
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("The WHOIS server to ask, as HOST or HOST:PORT."),
                                    QStringLiteral("HOST[:PORT]"));
    options.addOption(server);
    const QCommandLineOption resume(QStringLiteral("resume"),
                                    QStringLiteral("Continue the last combination search that was cut off."));
    options.addOption(resume);
    options.process(application);

    zandrel::SettingsStore settings;
    zandrel::ProcessLauncher launcher;
    zandrel::SystemClipboard clipboard;
    zandrel::SystemClock clock;
    zandrel::EventYield yield;
    const zandrel::Services services {
        settings, launcher, clipboard, clock, yield, zandrel::AppInfo::current(), options.value(server),
        {},       {}};

    zandrel::WhoController who(services);
    zandrel::Who window(who);
    who.Form_Load();
    window.placeAtStart();
    window.show();
    if (options.isSet(resume))
        QTimer::singleShot(0, &who, &zandrel::WhoController::mResumeSearch_Click);
    return QApplication::exec();
}
