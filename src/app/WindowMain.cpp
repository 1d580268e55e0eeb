#include "WindowMain.h"

#include "app/SystemClipboard.h"
#include "app/Who.h"
#include "app/WhoController.h"
#include "platform/AppInfo.h"
#include "platform/Clock.h"
#include "platform/Launcher.h"
#include "platform/SettingsStore.h"
#include "verdict/ServerTable.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTimer>

#include <cstdio>

namespace zandrel {

int runWindow(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zandrel"));
    QApplication::setApplicationVersion(QStringLiteral("5.0.0"));
    QApplication::setDesktopFileName(QStringLiteral("zandrel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/zandrel.svg")));

    // --help and --version never get here: they run without the window.
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Finds Internet domain names that are still free."));
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("The WHOIS server to ask, as HOST or HOST:PORT."),
                                    QStringLiteral("HOST[:PORT]"));
    options.addOption(server);
    const QCommandLineOption protocol(
        QStringLiteral("protocol"),
        QStringLiteral("How to ask: whois (port 43), rdap (HTTPS), or auto: WHOIS where a setting or the "
                       "registry table names a WHOIS server, RDAP where the TLD has no row and publishes a "
                       "service, else the WHOIS server IANA names."),
        QStringLiteral("rdap|whois|auto"), QStringLiteral("auto"));
    options.addOption(protocol);
    const QCommandLineOption resume(QStringLiteral("resume"),
                                    QStringLiteral("Continue the last combination search that was cut off."));
    options.addOption(resume);
    options.process(application);
    const std::optional<zandrel::Protocol> chosen = zandrel::parseProtocol(options.value(protocol));
    const auto usageError = [](const QString &text) {
        fputs(qPrintable(text + QStringLiteral("\n")), stderr);
        return 2;
    };
    if (!chosen)
        return usageError(QStringLiteral("--protocol takes rdap, whois or auto."));
    if (*chosen == zandrel::Protocol::Rdap && options.isSet(server))
        return usageError(
            QStringLiteral("--server names a WHOIS server; it cannot go with --protocol rdap."));

    zandrel::SettingsStore settings;
    zandrel::ProcessLauncher launcher;
    zandrel::SystemClipboard clipboard;
    zandrel::SystemClock clock;
    const zandrel::Services services {
        settings, launcher, clipboard, clock, zandrel::AppInfo::current(), options.value(server),
        {},       *chosen,  {},        {}};

    zandrel::WhoController who(services);
    zandrel::Who window(who);
    who.Form_Load();
    window.placeAtStart();
    window.show();
    if (options.isSet(resume))
        QTimer::singleShot(0, &who, &zandrel::WhoController::mResumeSearch_Click);
    return QApplication::exec();
}

} // namespace zandrel
