#include "verdict/Registrable.h"
#include "verdict/ServerTable.h"
#include "verdict/Verdict.h"

#include <benchmark/benchmark.h>

namespace {

using namespace zandrel;

// The largest answer a lookup lets through (1 MiB), made of lines that nearly match every phrase:
// the verdict must stay quick on hostile text.
QString hostileAnswer()
{
    const QString line
        = QStringLiteral("Domain Name:  \t MYSHOP.COMX No match for   \"MYSHOP.CO\"  WHOIS LIMIT\r\n");
    QString text;
    while (text.size() < 1024 * 1024)
        text += line;
    return text + QStringLiteral("No match for \"MYSHOP.COM\".\r\n");
}

void BM_VerdictOfALargeAnswer(benchmark::State &state)
{
    const QString answer = hostileAnswer();
    const RegistryRules rules = ServerTable::builtIn().judgingRules(QStringLiteral("com"));
    for (auto _ : state)
        benchmark::DoNotOptimize(
            decideVerdict(answer, QStringLiteral("myshop.com"), rules, LookupEnd::Answered));
}
BENCHMARK(BM_VerdictOfALargeAnswer)->Unit(benchmark::kMillisecond);

void BM_VerdictOfATypicalAnswer(benchmark::State &state)
{
    const QString answer
        = QStringLiteral("   Domain Name: MYSHOP.COM\r\n   Registry Domain ID: 1\r\n").repeated(40);
    const RegistryRules rules = ServerTable::builtIn().judgingRules(QStringLiteral("com"));
    for (auto _ : state)
        benchmark::DoNotOptimize(
            decideVerdict(answer, QStringLiteral("myshop.com"), rules, LookupEnd::Answered));
}
BENCHMARK(BM_VerdictOfATypicalAnswer)->Unit(benchmark::kMicrosecond);

void BM_Registrable(benchmark::State &state)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(checkRegistrable(QStringLiteral("example.co.uk")));
        benchmark::DoNotOptimize(checkRegistrable(QStringLiteral("b\u00fccher.de")));
    }
}
BENCHMARK(BM_Registrable)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
