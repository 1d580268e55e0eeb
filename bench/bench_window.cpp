// Start-up with two 50,000-word lists: from loading the lists to the window shown and painted.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include "WhoRig.h"
#include "app/Who.h"

#include <QApplication>
#include <QTest>

#include <benchmark/benchmark.h>

using namespace zandrel;
using namespace zandrel::test;

namespace {

QByteArray manyWords(const char *stem, int count)
{
    QByteArray words;
    for (int i = 0; i < count; ++i)
        words += stem + QByteArray::number(i) + "\r\n";
    return words;
}

void BM_ShowWithLongLists(benchmark::State &state)
{
    const int count = int(state.range(0));
    WhoRig rig;
    rig.useWordLists(manyWords("prefix", count), manyWords("suffix", count));
    for (auto _ : state) {
        Who window(*rig.who);
        rig.who->Form_Load();
        window.placeAtStart();
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            state.SkipWithError("the window was not shown");
        QCoreApplication::processEvents();
    }
    state.counters["words"] = 2.0 * count;
}

} // namespace

BENCHMARK(BM_ShowWithLongLists)->Arg(50'000)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
