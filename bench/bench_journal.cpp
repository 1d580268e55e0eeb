#include "search/Journal.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace zandrel;

namespace {

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

QString writeJournal(const QTemporaryDir &dir, qint64 records)
{
    const QString path = dir.filePath(QStringLiteral("j.jsonl"));
    JournalWriter writer;
    writer.create(path, {});
    for (qint64 i = 1; i <= records; ++i)
        writer.append(record(i));
    return path;
}

// One combination's line, synced to the disk: what every lookup of a run pays.
void BM_JournalAppend(benchmark::State &state)
{
    const QTemporaryDir dir = benchDir();
    JournalWriter writer;
    writer.create(dir.filePath(QStringLiteral("j.jsonl")), {});
    qint64 index = 0;
    for (auto _ : state) {
        if (!writer.append(record(++index))) {
            state.SkipWithError(writer.errorString().toUtf8().constData());
            break;
        }
    }
}

// Reading a whole run's journal back, as resume does.
void BM_ReadJournal(benchmark::State &state)
{
    const QTemporaryDir dir = benchDir();
    const QString path = writeJournal(dir, state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(readJournal(path).records.size());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_JournalAppend)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ReadJournal)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
