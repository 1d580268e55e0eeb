#include "harvest/Harvest.h"
#include "harvest/UniqueList.h"
#include "text/Replaceit.h"

#include <benchmark/benchmark.h>

namespace {

using namespace zandrel;

constexpr qsizetype kMiB = 1024 * 1024;

// A registrar's legal notice of eight lines, 570 characters, as the server repeats it in every answer.
QString notice()
{
    const QString lines[] = {
        QStringLiteral("NOTICE AND TERMS OF USE: You are not authorized to access or query our WHOIS "),
        QStringLiteral("database through the use of high-volume, automated, electronic processes. The "),
        QStringLiteral("data in this database is provided for information purposes only, to assist "),
        QStringLiteral("persons in obtaining information about or related to a domain name record. "),
        QStringLiteral("We make this information available \"as is\" and do not guarantee its accuracy. "),
        QStringLiteral("By submitting a query you agree to abide by these terms; you may not use it "),
        QStringLiteral("to allow or enable unsolicited advertising by e-mail, telephone or facsimile."),
        QStringLiteral("Rights reserved."),
    };
    QString text;
    for (const QString &line : lines)
        text += line + QStringLiteral("\r\n");
    return text;
}

// One answer for a registered name and one for a free one, as the response box shows them.
QString responsePair(int n)
{
    const QString number = QString::number(n);
    return QStringLiteral("Connected.  Waiting for data...\r\n\r\nWhois Server Version 2.0\r\n\r\n"
                          "Domain names in the .com and .net domains can now be registered\r\n"
                          "with many different competing registrars. Go to http://www.internic.net\r\n"
                          "for detailed information.\r\n\r\n   Domain Name: TAKEN")
        + number
        + QStringLiteral(".COM\r\n   Registrar: EXAMPLE REGISTRAR, INC.\r\n"
                         "   Whois Server: whois.registrar.example.com\r\n"
                         "   Referral URL: http://www.registrar-example.com\r\n   Name Server: NS1.TAKEN")
        + number
        + QStringLiteral(".COM\r\n   Name Server: NS2.HOSTING-EXAMPLE.NET\r\n   Status: ACTIVE\r\n"
                         "   Contact: hostmaster@taken.com\r\n\r\n"
                         ">>> Last update of whois database: Tue, 6 Nov 2001 05:07:16 EST <<<\r\n\r\n")
        + notice() + QStringLiteral("Connected.  Waiting for data...\r\n\r\nNo match for \"FREE") + number
        + QStringLiteral(".COM\".\r\nNo match for domain \"FREE") + number
        + QStringLiteral(".ORG\".\r\n\r\n");
}

QString responses(qsizetype size)
{
    QString text;
    for (int n = 0; text.size() < size; ++n)
        text += responsePair(n);
    text.truncate(size);
    return text;
}

void BM_AddLinkToList(benchmark::State &state)
{
    UniqueList links(UniqueList::Key::WithoutQuotes);
    for (int i = 0; i < state.range(0); ++i)
        links.addUnique(QStringLiteral("www.listed%1.com").arg(i));
    int n = 0;
    for (auto _ : state)
        AddLinkToList(QStringLiteral("www.new%1.com").arg(n++), links);
    state.counters["entries_before"] = double(state.range(0));
}
BENCHMARK(BM_AddLinkToList)->Arg(0)->Arg(100000);

void BM_AddLinkToListDuplicate(benchmark::State &state)
{
    UniqueList links(UniqueList::Key::WithoutQuotes);
    for (int i = 0; i <= state.range(0); ++i)
        links.addUnique(QStringLiteral("www.listed%1.com").arg(i));
    const QString listed = QStringLiteral("www.\"listed%1.com").arg(state.range(0) / 2);
    for (auto _ : state)
        AddLinkToList(listed, links);
}
BENCHMARK(BM_AddLinkToListDuplicate)->Arg(0)->Arg(100000);

void BM_AddAvailableToList(benchmark::State &state)
{
    UniqueList available;
    for (int i = 0; i < state.range(0); ++i)
        available.addUnique(QStringLiteral("listed%1.com").arg(i));
    int n = 0;
    for (auto _ : state)
        AddAvailableToList(QStringLiteral("new%1.com").arg(n++), available);
}
BENCHMARK(BM_AddAvailableToList)->Arg(0)->Arg(100000);

void BM_ReplaceitNotice(benchmark::State &state)
{
    const QString nag = notice();
    const QString filler = responses(kMiB / 1000 - nag.size());
    QString text;
    for (int i = 0; i < 1000; ++i)
        text += filler + nag;
    for (auto _ : state)
        benchmark::DoNotOptimize(replaceit(text, nag, QString()));
    state.SetBytesProcessed(state.iterations() * text.size() * qsizetype(sizeof(QChar)));
}
BENCHMARK(BM_ReplaceitNotice)->Unit(benchmark::kMillisecond);

// Every removal joins a new occurrence: the written algorithm's worst case.
void BM_ReplaceitJoined(benchmark::State &state)
{
    const QString text = QString(kMiB / 2, u'a') + QString(kMiB / 2, u'B');
    for (auto _ : state)
        benchmark::DoNotOptimize(replaceit(text, QStringLiteral("Ab"), QString()));
    state.SetBytesProcessed(state.iterations() * text.size() * qsizetype(sizeof(QChar)));
}
BENCHMARK(BM_ReplaceitJoined)->Unit(benchmark::kMillisecond);

void BM_CreateWebList(benchmark::State &state)
{
    const QString text = responses(kMiB);
    for (auto _ : state) {
        UniqueList links(UniqueList::Key::WithoutQuotes);
        createweblist(text, links);
        benchmark::DoNotOptimize(links.count());
    }
    state.SetBytesProcessed(state.iterations() * text.size() * qsizetype(sizeof(QChar)));
}
BENCHMARK(BM_CreateWebList)->Unit(benchmark::kMillisecond);

void BM_CreateAvailableList(benchmark::State &state)
{
    const QString text = responses(kMiB);
    for (auto _ : state) {
        UniqueList available;
        createavailablelist(text, available);
        benchmark::DoNotOptimize(available.count());
    }
    state.SetBytesProcessed(state.iterations() * text.size() * qsizetype(sizeof(QChar)));
}
BENCHMARK(BM_CreateAvailableList)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
