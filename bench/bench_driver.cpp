// The combination search against an in-process WHOIS server that answers at once.
//   bench_driver [combinations] [--keep]  cost per combination at the start and at the end of a run;
//                                      --keep: "Clear Before Search" unchecked, the text kept
//   bench_driver --idle                CPU used while the run waits for slow answers and long pauses
#include "WhoRig.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

using namespace zandrel;
using namespace zandrel::test;

namespace {

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Prefixes w0..w(n-1) and suffixes a, b: every other term is reported free, the rest exist.
void prepare(WhoRig &rig, int prefixes)
{
    QByteArray words;
    for (int i = 0; i < prefixes; ++i)
        words += "w" + QByteArray::number(i) + "\r\n";
    rig.useWordLists(words, "a\r\nb\r\n");
    rig.who->Form_Load();
    rig.state().Summary = false;
    rig.state().Nag.setText(
        QStringLiteral("NOTICE: The expiration date displayed in this record is the date the\r\n"));
}

ScriptedWhoisServer::Reply answer(const QByteArray &query)
{
    const QByteArray name = query.mid(3, query.size() - 5).toUpper();
    if (name.contains("A.COM"))
        return {"No match for \"" + name + "\".\r\n>>> Last update of whois database <<<\r\n"};
    return {"   Domain Name: " + name + "\r\n   Registrar: Example Registrar, Inc.\r\n   Name Server: NS1."
            + name + "\r\nNOTICE: The expiration date displayed in this record is the date the\r\n"};
}

void perCombination(int total, bool keepText)
{
    WhoRig rig;
    prepare(rig, total / 2);
    rig.state().ClearEachSearch = !keepText;
    rig.who->session().request().pauseMs = 0;
    rig.server.setReplyFor(answer);

    QList<qint64> stamps;
    QList<double> cpuStamps; // wall time suffers from a busy machine, CPU time much less
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&rig.state().caption, &TextBox::changed, rig.who.get(),
                     [&stamps, &cpuStamps, &clock](const QString &) {
                         stamps << clock.nsecsElapsed();
                         cpuStamps << cpuSeconds();
                     });
    const double cpuBefore = cpuSeconds();
    rig.searchCombinations();
    const double cpu = cpuSeconds() - cpuBefore;

    const int window = qMax(1, total / 10);
    auto meanMs = [&stamps](int from, int count) {
        return double(stamps.at(from + count) - stamps.at(from)) / count / 1e6;
    };
    auto meanCpuMs = [&cpuStamps](int from, int count) {
        return (cpuStamps.at(from + count) - cpuStamps.at(from)) / count * 1e3;
    };
    std::printf("combinations searched            %d (Available %d, Existing %d)\n", int(stamps.size() - 1),
                rig.state().Available.count(), rig.state().LinkList.count());
    const int last = int(stamps.size()) - 1 - window;
    std::printf("first %5d combinations        %.3f ms each, %.3f ms CPU\n", window, meanMs(0, window),
                meanCpuMs(0, window));
    std::printf("last  %5d combinations        %.3f ms each, %.3f ms CPU\n", window, meanMs(last, window),
                meanCpuMs(last, window));
    std::printf("whole run                        %.2f s wall, %.2f s CPU\n",
                double(clock.nsecsElapsed()) / 1e9, cpu);
    std::printf("response text kept               %.1f MB\n",
                double(rig.state().tResponse.text().size()) / 1e6);
}

void idle()
{
    WhoRig rig;
    prepare(rig, 2);
    rig.who->session().request().pauseMs = 1000;
    rig.server.setReplyFor([](const QByteArray &query) {
        ScriptedWhoisServer::Reply reply = answer(query);
        reply.chunkSize = 16;
        reply.chunkDelayMs = 100; // a slow server: an answer takes about a second
        return reply;
    });
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuSeconds();
    rig.searchCombinations();
    const double cpu = cpuSeconds() - cpuBefore;
    const double wall = double(clock.elapsed()) / 1000;
    std::printf("4 combinations, slow answers, 1 s pauses: %.2f s wall, %.3f s CPU (%.1f%%)\n", wall, cpu,
                100 * cpu / wall);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.contains(QStringLiteral("--idle"))) {
        idle();
        return 0;
    }
    const bool keepText = args.contains(QStringLiteral("--keep"));
    perCombination(args.size() > 1 ? qMax(20, args.at(1).toInt()) : 10000, keepText);
    return 0;
}
