#include "lookup/RdapBootstrap.h"
#include "verdict/RdapAnswer.h"

#include <QFile>

#include <benchmark/benchmark.h>

namespace {

using namespace zandrel;

// The bootstrap compiled into the program, read and routed as on the first RDAP lookup of a run.
void BM_BootstrapParse(benchmark::State &state)
{
    QFile file(QStringLiteral(":/zandrel/rdap-dns.json"));
    if (!file.open(QIODevice::ReadOnly)) {
        state.SkipWithError("no bootstrap");
        return;
    }
    const QByteArray json = file.readAll();
    for (auto _ : state)
        benchmark::DoNotOptimize(RdapBootstrap::parse(json)->baseFor(QStringLiteral("shop.example.co.uk")));
    state.SetBytesProcessed(state.iterations() * json.size());
}
BENCHMARK(BM_BootstrapParse)->Unit(benchmark::kMillisecond);

// The worst a server may send within the 1 MiB limit: a taken name with ~14,000 name servers, each
// with a long status line to clean.
void BM_ReadLargestAnswer(benchmark::State &state)
{
    QByteArray body
        = "{\"ldhName\":\"EXAMPLE.COM\",\"status\":[\"" + QByteArray(200, 'x') + "\"],\"nameservers\":[";
    while (body.size() < (1 << 20) - 100)
        body += "{\"ldhName\":\"ns-000000000000000000.example.net\"},";
    body.chop(1);
    body += "]}";
    RdapEnd end;
    end.status = 200;
    end.body = body;
    for (auto _ : state)
        benchmark::DoNotOptimize(readRdapAnswer(end, QStringLiteral("example.com")));
    state.SetBytesProcessed(state.iterations() * body.size());
}
BENCHMARK(BM_ReadLargestAnswer)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
