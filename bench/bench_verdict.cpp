#include "verdict/Registrable.h"
#include "verdict/ServerTable.h"
#include "verdict/Stage.h"
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

// What the answer says beyond the verdict, read after it: on the hostile answer, and on a thick
// record of a name in redemption.
void BM_BeyondOfALargeAnswer(benchmark::State &state)
{
    const QString answer = hostileAnswer();
    const RegistryRules rules = ServerTable::builtIn().judgingRules(QStringLiteral("com"));
    const Verdict verdict = decideVerdict(answer, QStringLiteral("myshop.com"), rules, LookupEnd::Answered);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            readBeyond(verdict, answer, QStringLiteral("myshop.com"), rules, {}, QDate(2026, 12, 7)));
}
BENCHMARK(BM_BeyondOfALargeAnswer)->Unit(benchmark::kMillisecond);

void BM_BeyondOfATypicalRecord(benchmark::State &state)
{
    const QString answer
        = QStringLiteral("   Domain Name: MYSHOP.COM\r\n   Registry Domain ID: 1\r\n   Registrar: Example "
                         "Registrar LLC\r\n"
                         "   Updated Date: 2026-12-01T10:00:00Z\r\n   Creation Date: 2015-11-20T10:00:00Z\r\n"
                         "   Registry Expiry Date: 2026-11-20T10:00:00Z\r\n"
                         "   Domain Status: redemptionPeriod https://icann.org/epp#redemptionPeriod\r\n"
                         "   Domain Status: pendingDelete https://icann.org/epp#pendingDelete\r\n"
                         ">>> Last update of whois database: 2026-12-07T10:00:00Z <<<\r\n%1")
              .arg(QStringLiteral("NOTICE: The expiration date displayed in this record ...\r\n")
                       .repeated(40));
    const RegistryRules rules = ServerTable::builtIn().judgingRules(QStringLiteral("com"));
    const Verdict verdict = decideVerdict(answer, QStringLiteral("myshop.com"), rules, LookupEnd::Answered);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            readBeyond(verdict, answer, QStringLiteral("myshop.com"), rules, {}, QDate(2026, 12, 7)));
}
BENCHMARK(BM_BeyondOfATypicalRecord)->Unit(benchmark::kMicrosecond);

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
