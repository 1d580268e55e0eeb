#include "platform/Clock.h"
#include "search/Journal.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

using namespace zandrel;

namespace {

// The lines a slow first name releases at once in a run that asks many registries side by side.
constexpr int Burst = 1100;

// In the working folder, since /tmp may be in memory, where syncing costs nothing.
QTemporaryDir benchDir()
{
    return QTemporaryDir(QDir::current().filePath(QStringLiteral("bench-journal-XXXXXX")));
}

LookupRecord record(qint64 index)
{
    return {index,
            QStringLiteral("prefix%1suffix%1.com").arg(index),
            true,
            {VerdictKind::Taken, {}},
            QStringLiteral("whois.verisign-grs.com:43"),
            QDateTime::currentDateTimeUtc(),
            {},
            {QStringLiteral("www.prefix%1suffix%1.com").arg(index)}};
}

// A writer in groups or, without a clock, one fsync per line. The clock is never advanced: groups
// go by their size, and close() writes the rest.
std::unique_ptr<JournalWriter> writer(const ManualClock *clock)
{
    return clock ? std::make_unique<JournalWriter>(*clock) : std::make_unique<JournalWriter>();
}

QString writeJournal(const QTemporaryDir &dir, qint64 records)
{
    const QString path = dir.filePath(QStringLiteral("j.jsonl"));
    const ManualClock clock({});
    JournalWriter writer(clock);
    writer.create(path, {});
    for (qint64 i = 1; i <= records; ++i)
        writer.append(record(i));
    return path;
}

// A burst of lines until the last is on the disk: arg 0 syncs each line (as every run did before
// lines were grouped), 1 writes them in groups. Items: lines a second.
void BM_JournalLines(benchmark::State &state)
{
    const QTemporaryDir dir = benchDir();
    const ManualClock clock({});
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto journal = writer(state.range(0) ? &clock : nullptr);
        journal->create(dir.filePath(QString::number(++run)), {});
        state.ResumeTiming();
        for (int i = 1; i <= Burst; ++i)
            journal->append(record(i));
        if (const Result<void> closed = journal->close(); !closed) {
            state.SkipWithError(closed.error().text.toUtf8().constData());
            break;
        }
        state.counters["fsyncs"] = double(journal->syncs() - 1);
    }
    state.SetItemsProcessed(state.iterations() * Burst);
}

// What the caller (the window's thread) spends on the burst in groups: the lines are made and handed
// over, and the writer's thread puts them on the disk meanwhile.
void BM_JournalBurstCaller(benchmark::State &state)
{
    const QTemporaryDir dir = benchDir();
    const ManualClock clock({});
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto journal = writer(&clock);
        journal->create(dir.filePath(QString::number(++run)), {});
        state.ResumeTiming();
        for (int i = 1; i <= Burst; ++i)
            journal->append(record(i));
        state.PauseTiming();
        journal->close();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * Burst);
}

// Reading a whole run's journal back, as resume does.
void BM_ReadJournal(benchmark::State &state)
{
    const QTemporaryDir dir = benchDir();
    const QString path = writeJournal(dir, state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(readJournal(path)->records.size());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_JournalLines)->ArgName("grouped")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JournalBurstCaller)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadJournal)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
