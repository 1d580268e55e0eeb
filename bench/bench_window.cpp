// Start-up with two 50,000-word lists: from loading the lists to the window shown and painted.
// A hostile answer just under the size limit, shown in the response box: the longest time the
// window does not answer, and the memory it takes. Runs on the offscreen platform unless
// QT_QPA_PLATFORM says otherwise.
#include "WhoRig.h"
#include "app/Who.h"
#include "harvest/ShownText.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

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

// A line of /proc/self/status in megabytes: VmRSS now, VmHWM the peak so far.
double statusMegabytes(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

// Answers of about 1 MB: 0 bare line feeds, 1 short lines ("a" and a line feed), 2 one line.
QByteArray hostileAnswer(int64_t kind)
{
    const qsizetype size = 1'000'000;
    if (kind == 0)
        return QByteArray(size, '\n');
    if (kind == 1)
        return QByteArray("a\n").repeated(size / 2);
    return QByteArray(size, 'a');
}

void BM_HostileAnswer(benchmark::State &state)
{
    WhoRig rig;
    Who window(*rig.who);
    rig.who->Form_Load();
    rig.who->session().router().limits() = {.idleMs = 60'000, .totalMs = 120'000};
    window.placeAtStart();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        state.SkipWithError("the window was not shown");
    rig.server.setReply({hostileAnswer(state.range(0))});
    rig.state().SearchTerm.setText(QStringLiteral("hostile"));
    const double before = statusMegabytes("VmRSS");
    qint64 worst = 0;
    for (auto _ : state) {
        rig.who->mClearResponse_Click();
        // A timer that should tick every 5 ms: the longest gap is the longest the window was held.
        QElapsedTimer clock;
        qint64 last = 0;
        QTimer tick;
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout, &tick, [&] {
            const qint64 now = clock.elapsed();
            worst = std::max(worst, now - last);
            last = now;
        });
        clock.start();
        tick.start();
        if (!rig.lookUp())
            state.SkipWithError("the lookup did not end");
        // The box takes a long text a slice at a time: wait until it holds all of it.
        const qsizetype shown = ShownText::shown(rig.state().tResponse.text()).size();
        const QTextDocument *document
            = window.findChild<QPlainTextEdit *>(QStringLiteral("tResponse"))->document();
        while (document->characterCount() - 1 < shown && clock.elapsed() < 60'000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        window.repaint();
        QCoreApplication::processEvents();
        worst = std::max(worst, clock.elapsed() - last);
    }
    state.counters["blocked_ms"] = double(worst);
    state.counters["rss_before_mb"] = before;
    state.counters["peak_rss_mb"] = statusMegabytes("VmHWM");
    state.counters["rss_shown_mb"] = statusMegabytes("VmRSS");
    rig.who->mClearResponse_Click();
    QCoreApplication::processEvents();
    state.counters["rss_cleared_mb"] = statusMegabytes("VmRSS");
}

} // namespace

BENCHMARK(BM_ShowWithLongLists)->Arg(50'000)->Unit(benchmark::kMillisecond);
// Each kind in its own run for a clean peak: --benchmark_filter=BM_HostileAnswer/0
BENCHMARK(BM_HostileAnswer)->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kMillisecond);

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
