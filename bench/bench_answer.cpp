// One hostile answer of 1 MiB through a whole lookup into the window on the offscreen platform:
// received, shown in the response box and scanned at the lookup's end. Reports the time and the
// growth of the process's peak memory (run one benchmark per process for a clean figure:
// --benchmark_filter=Run or =Feeds).
#include "WhoRig.h"
#include "app/Who.h"

#include <QApplication>

#include <sys/resource.h>

#include <benchmark/benchmark.h>

namespace {

using namespace zandrel;
using namespace zandrel::test;

double peakMiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024;
}

void lookUp(benchmark::State &state, const QByteArray &answer)
{
    WhoRig rig;
    rig.who->session().router().limits() = {10'000, 30'000, 60'000, 1 << 20};
    rig.server.setReply({answer});
    Who window(*rig.who);
    window.show();
    QApplication::processEvents();
    const double before = peakMiB();
    for (auto _ : state) {
        if (!rig.lookUp())
            state.SkipWithError("the lookup did not end");
    }
    state.counters["peak_growth_MiB"] = peakMiB() - before;
    state.counters["entries"] = rig.state().LinkList.count();
    state.counters["text_MiB"] = double(rig.state().tResponse.text().size()) * 2 / (1 << 20);
}

void BM_Run(benchmark::State &state)
{
    // "   Name Server: x.comx.com…": every prefix of the run is a candidate host name.
    QByteArray answer = "   Name Server: ";
    while (answer.size() < (1 << 20) - 5)
        answer += "x.com";
    lookUp(state, answer);
}

void BM_Feeds(benchmark::State &state)
{
    lookUp(state, QByteArray((1 << 20) - 1, '\n'));
}

} // namespace

BENCHMARK(BM_Run)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Feeds)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
