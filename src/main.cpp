#include "app/SystemClipboard.h"
#include "app/Who.h"
#include "app/WhoController.h"
#include "cli/Cli.h"
#include "cli/CliOptions.h"
#include "platform/AppInfo.h"
#include "platform/Clock.h"
#include "platform/EventYield.h"
#include "platform/Launcher.h"
#include "platform/SettingsStore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QIcon>
#include <QTimer>

#include <cstdio>

#include <unistd.h>

namespace {

// --check, --batch, --help and --version: no window, no GUI platform plugin, no display needed.
int runWithoutWindow(int argc, char *argv[])
{
    // The answer phrases become expressions used once per lookup; compiling each to machine code
    // costs more than it saves when lookups follow each other without a pause.
    qputenv("QT_ENABLE_REGEXP_JIT", "0");
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Zandrel"));
    QFile in;
    QFile out;
    QFile err;
    in.open(stdin, QIODevice::ReadOnly);
    out.open(stdout, QIODevice::WriteOnly);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    const zandrel::CliStreams streams {in, out, err, isatty(STDERR_FILENO) == 1, isatty(STDOUT_FILENO) == 1};
    zandrel::SettingsStore settings;
    zandrel::SystemClock clock;
    zandrel::EventYield yield;
    // Run from inside the event loop, as the window's procedures are, so that sockets done with are
    // deleted as the run goes rather than piling up until it ends.
    int status = zandrel::ExitFailed;
    QTimer::singleShot(0, &application, [&] {
        status = zandrel::runCli(QCoreApplication::arguments(), streams, {settings, clock, yield, {}, {}});
        QCoreApplication::exit();
    });
    QCoreApplication::exec();
    out.flush();
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (zandrel::isCommandLineRun(arguments))
        return runWithoutWindow(argc, argv);

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
        QStringLiteral("How to ask: whois (port 43), rdap (HTTPS), or auto: WHOIS where a WHOIS server is "
                       "known, else RDAP."),
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
    zandrel::EventYield yield;
    const zandrel::Services services {
        settings, launcher, clipboard, clock, yield, zandrel::AppInfo::current(), options.value(server),
        {},       *chosen,  {}};

    zandrel::WhoController who(services);
    zandrel::Who window(who);
    who.Form_Load();
    window.placeAtStart();
    window.show();
    if (options.isSet(resume))
        QTimer::singleShot(0, &who, &zandrel::WhoController::mResumeSearch_Click);
    return QApplication::exec();
}
