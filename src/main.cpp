#include "app/WindowMain.h"
#include "cli/Cli.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QFile>
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
    // Qt's own poll loop serves the lookups' sockets with less work per event than the GLib main loop.
    qputenv("QT_NO_GLIB", "1");
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
    int status = zandrel::ExitFailed;
    std::unique_ptr<QObject> run;
    const auto done = [&status](int exitStatus) {
        status = exitStatus;
        QCoreApplication::exit();
    };
    // The run starts inside the event loop, so its end (exit()) always finds the loop running.
    QTimer::singleShot(0, &application, [&] {
        run = zandrel::runCli(QCoreApplication::arguments(), streams, {settings, clock, {}, {}, {}}, done);
    });
    QCoreApplication::exec();
    run.reset();
    out.flush();
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    zandrel::holdClosedStandardStreams();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (zandrel::isCommandLineRun(arguments))
        return runWithoutWindow(argc, argv);
    // Said before any window library is asked for a display, which would abort the program.
    const bool hasDisplay = !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (const zandrel::Result<void> start = zandrel::checkWindowStart(arguments, hasDisplay); !start) {
        fputs(qPrintable(QStringLiteral("zandrel: ") + start.error().text + u'\n'), stderr);
        return zandrel::ExitUsage;
    }
    return zandrel::runWindow(argc, argv);
}
