#include "report/Report.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace zandrel;

namespace {

void BM_SaveResults(benchmark::State &state)
{
    const int existing = int(state.range(0));
    const int available = int(state.range(1));
    ReportInput input;
    for (int i = 0; i < existing; ++i)
        input.links << QStringLiteral("www.existing-domain-%1.com").arg(i);
    for (int i = 0; i < available; ++i) {
        LookupRecord &free = input.records.emplace_back();
        free.name = QStringLiteral("free-domain-%1.com").arg(i);
        free.verdict.kind = VerdictKind::Free;
    }
    for (int i = 0; i < 20; ++i) {
        input.prefixes << QStringLiteral("prefix%1").arg(i);
        input.suffixes << QStringLiteral("suffix%1").arg(i);
    }

    QTemporaryDir dir;
    ReportWriter writer([](const QString &caption) { benchmark::DoNotOptimize(caption.size()); });
    for (auto _ : state) {
        const Result<ReportFiles> result
            = writer.SaveResults(QStringLiteral("bench"), input, dir.path(), QString());
        if (!result) {
            state.SkipWithError(result.error().text.toUtf8().constData());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * (existing + available));
}

} // namespace

BENCHMARK(BM_SaveResults)
    ->Args({1000, 100})
    ->Args({10000, 1000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
