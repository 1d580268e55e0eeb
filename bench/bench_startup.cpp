// Start-up with a large "Nag" (removal text) in the settings file: the settings read, the window
// built, filled and shown on the offscreen platform. Arguments: megabytes, and whether the text is
// in lines of 70 characters (1) or one line (0).
#include "Recorders.h"
#include "app/Who.h"
#include "app/WhoController.h"
#include "platform/AppInfo.h"
#include "platform/SettingsStore.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace zandrel;
using namespace zandrel::test;

void BM_StartWithLargeNag(benchmark::State &state)
{
    const qsizetype bytes = state.range(0) * 1000 * 1000;
    const QByteArray line = state.range(1)
        ? QByteArray("NOTICE: The expiration date shown in this record is the date.\\r\\n")
        : QByteArray("NOTICE: The expiration date shown in this record is the date. ");
    QTemporaryDir config;
    QTemporaryDir program;
    // Written by hand, so the start-up below is the first to read it.
    QFile ini(config.filePath(QStringLiteral("Zandrel.ini")));
    if (!ini.open(QIODevice::WriteOnly))
        state.SkipWithError("cannot write the settings file");
    QByteArray nag;
    while (nag.size() < bytes)
        nag += line;
    ini.write("[Settings]\nNag=\"" + nag + "\"\n");
    ini.close();

    for (auto _ : state) {
        SettingsStore settings(config.path());
        RecordingLauncher launcher;
        RecordingClipboard clipboard;
        FixedClock clock {QDateTime::currentDateTime()};
        AppInfo app;
        app.folder = program.path();
        WhoController who(Services {settings, launcher, clipboard, clock, app, QString(),
                                    config.filePath(QStringLiteral("cache")), Protocol::Auto,
                                    config.filePath(QStringLiteral("journal")), config.path()});
        Who window(who);
        who.Form_Load();
        window.placeAtStart();
        window.show();
        QApplication::processEvents();
        if (who.state().Nag.text().size() < bytes * 9 / 10)
            state.SkipWithError("the removal text was not read");
    }
}

} // namespace

BENCHMARK(BM_StartWithLargeNag)
    ->ArgNames({"MB", "lines"})
    ->Args({5, 1})
    ->Args({1, 0})
    ->Args({5, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
