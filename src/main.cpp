#include "cli/Cli.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "platform/Clock.h"
#include "platform/EventYield.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

#include <dlfcn.h>
#include <unistd.h>

namespace {

// --check, --batch, --help and --version: no window, no GUI platform plugin, no display needed.
int runWithoutWindow(int argc, char *argv[])
{
    // The answer phrases become expressions used once per lookup; compiling each to machine code
    // costs more than it saves when lookups follow each other without a pause.
    qputenv("QT_ENABLE_REGEXP_JIT", "0");
    // The lookups wait on one socket at a time; Qt's own poll loop serves that with less work per
    // event than the GLib main loop.
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

// The window lives in a module beside the program (build tree) or in the library folder the
// install puts it in; loading it only here keeps the widget libraries out of command-line runs.
int runWindow(int argc, char *argv[])
{
    const QString program = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    const QDir folder = QFileInfo(program).dir();
    const QStringList candidates {folder.filePath(QStringLiteral(ZANDREL_WINDOW_MODULE)),
                                  folder.filePath(QStringLiteral(ZANDREL_WINDOW_MODULE_INSTALLED))};
    QString failure;
    for (const QString &candidate : candidates) {
        if (!QFileInfo::exists(candidate))
            continue;
        void *module = dlopen(QFile::encodeName(candidate).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            failure = QString::fromLocal8Bit(dlerror());
            break;
        }
        using WindowMain = int (*)(int, char **);
        const auto windowMain = reinterpret_cast<WindowMain>(dlsym(module, "zandrelWindowMain"));
        if (windowMain)
            return windowMain(argc, argv);
        failure = candidate + QStringLiteral(": no window entry");
        break;
    }
    if (failure.isEmpty())
        failure = QStringLiteral("not found beside the program: ") + candidates.join(QStringLiteral(", "));
    fputs(qPrintable(QStringLiteral("zandrel: cannot load the window (%1)\n").arg(failure)), stderr);
    return 1;
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
    return runWindow(argc, argv);
}
