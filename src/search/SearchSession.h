#pragma once

#include "SearchRun.h"
#include "lookup/BackOff.h"
#include "lookup/DnsCheck.h"
#include "lookup/Router.h"
#include "report/Report.h"
#include "search/Journal.h"
#include "search/ListScan.h"
#include "search/Pace.h"
#include "search/Progress.h"
#include "search/RunLog.h"

#include <QObject>

#include <functional>
#include <memory>

namespace zandrel {

class Clock;
class UniqueList;

// What a search asks with: its pace and query form, the TLDs of names given without a dot, whether
// DNS goes first and which resolver, and whether answers are scanned into the two lists. The
// session keeps one, set from the settings and the options; each run starts from a copy of it, so
// a change made while a run goes on is for the next one.
struct RunRequest : RunOptions
{
    QStringList nameTlds; // empty: names are asked as given
    bool dnsFirst = false; // a single lookup never asks DNS first
    DnsSettings dnsSettings;
    bool scanLists = true;
    // How many times a name is asked while its server shows a limit, with the pace learned.
    int throttleTries = 4;
    // Where the counts over windows are kept between runs, with the learned pace; empty: nowhere.
    QString paceStateFile;
    // Off: a run keeps its counts only, not its records (for a report), its names (for Search
    // Unanswered Again) or list entries, so memory stays flat over an endless input (--check -).
    bool keepRecords = true;
    // On: a combination run keeps no record or list entry in memory, only its journal, which its
    // report and a resume read back line by line: memory stays flat however many names it asks.
    bool reportFromJournal = false;
    // On: a combination run whose journal cannot be written stops there (or does not start), its
    // journal left as far as it got, for a resume. Off: it goes on without one and says so once.
    bool stopWithoutJournal = false;
};

// Everything a search keeps beyond its lookups: the verdicts so far, the journal that lets a cut-off
// run be resumed, the two result lists the answers are scanned into, and the report. The window and
// the command line both run their searches through one of these; it knows no widget.
class SearchSession : public QObject
{
    Q_OBJECT
public:
    SearchSession(const RouterSettings &settings, const QString &journalFolder, const Clock &clock,
                  UniqueList &available, UniqueList &links, QObject *parent = nullptr);
    ~SearchSession() override;

    Router &router() { return m_router; }
    // Every operator's budgets and learned pace, kept from run to run.
    Paces &paces() { return *m_paces; }
    // What the runs started from now on ask with.
    RunRequest &request() { return m_request; }

    bool running() const { return m_run != nullptr; }

    // Every pairing of a prefix with a suffix, prefix-major, in each of the TLDs as `inputs` say;
    // a new journaled run, asking DNS first when the session does. Fails, asking nothing, when the
    // request says the run stops without a journal and none can be started.
    Result<void> searchCombinations(const RunInputs &inputs);
    // Goes on with the run in the journal at `path` from its first name not done. The lists, the
    // tally and the inputs come back from it first (restored()).
    Result<void> resume(const QString &path);
    // The names as they are, as a new run without a journal; `more`: further names follow through
    // addNames() until one says they were the last.
    void searchNames(const QStringList &names, bool more = false);
    void addNames(const QStringList &names, bool last = false);
    // The names of the last run that ended unknown, asked again.
    bool searchUnanswered();
    // One name, outside any run: not tallied, not journaled.
    void lookUpOne(const QString &name);
    void stop();
    void abort();

    // The pairing a combination run's name `index` was made from.
    QPair<QString, QString> combination(qint64 index) const;
    qint64 total() const { return m_total; }

    const RunTally &tally() const { return m_tally; }
    const RunLog &runLog() const { return m_runLog; }
    // Every name looked up since the last combination search began (or Clear All), in order,
    // single lookups and names asked again included: what the report lists.
    const QList<LookupRecord> &results() const { return m_results; }
    // Forgets the results and the tally, as Clear All does.
    void clearResults();
    const RunInputs &inputs() const { return m_inputs; }

    // The last run's journal, and whether it can be resumed.
    struct LastRun
    {
        bool resumable = false;
        QString error; // why its journal cannot be read; empty when it can, or when there is none
        QString path;
        qint64 done = 0; // combinations in the journal
        qint64 total = 0;
    };
    // Finished journals are removed first: only an unfinished run is kept to resume.
    LastRun findLastRun();
    QString resumable() const { return m_resumable; }

    // Names found free, by their ACE form in lower case: what the available-name scan may list.
    QString freeEntry(const QString &found) const { return m_scan.freeEntry(found); }

    // The report of the lists and the last run, into `folder` (else `fallbackFolder`). Written from
    // a finished() handler, a report that fails keeps the run's journal unfinished: a resume then
    // writes the report without asking anything again.
    Result<ReportFiles> writeReport(const QString &baseName, const QStringList &prefixes,
                                    const QStringList &suffixes, const QString &folder,
                                    const QString &fallbackFolder,
                                    const std::function<void(const QString &)> &setCaption);

signals:
    // The lookup of name `index` (of `total`) is now the one shown; `term` is the name as the
    // pairing made it, before ".com".
    void begun(qint64 index, qint64 total, const QString &term);
    void text(const QString &piece);
    // A name is done, in list order, with the lists, tally and journal updated.
    void committed(const LookupRecord &record);
    void countsChanged(const QString &text);
    void progressChanged(qint64 done, qint64 total, const QString &timeLeft);
    void notice(const QString &text);
    // A notice that matters for the rest of the run (see SearchRun::warning).
    void warning(const QString &text);
    // A run started or ended; whether the last run can be resumed changed.
    void runStateChanged();
    // The lists, tally and inputs of a journal are back, before its run goes on.
    void restored(const RunInputs &inputs);
    // The run ended; a complete combination run's journal is marked finished after this returns,
    // unless its report could not be written meanwhile.
    void finished(bool complete);

private:
    // The name as its pairing made it, before ".com".
    QString termOf(const QString &name) const;
    void startRun(const QStringList &names, qint64 firstIndex, bool journaled, bool more = false,
                  bool dnsFirst = false, const RunInputs *resumed = nullptr);
    QStringList withTlds(const QStringList &names) const;
    // A combination run's names are made as the run takes them: a few thousand ahead of the last
    // committed one, never the whole list.
    void startCombinations(qint64 done, const RunInputs *resumed);
    void feedCombinations();
    void onCommitted(const LookupRecord &record, const QString &answer);
    void onFinished(bool complete);
    // The journal cannot be written: the run stops or goes on without it, as the request says.
    void onJournalFailed(const QString &error);

    const Clock &m_clock;
    UniqueList &m_links;
    ListScan m_scan;
    Router m_router;
    BackOff m_backOff;
    std::shared_ptr<Paces> m_paces = std::make_shared<Paces>();
    RunRequest m_request;
    std::unique_ptr<SearchRun> m_run;
    JournalFolder m_journals;
    RunLog m_runLog;
    RunTally m_tally;
    RunInputs m_inputs;
    QList<LookupRecord> m_results;
    QString m_resumable;
    qint64 m_total = 0;
    qint64 m_made = 0; // of a combination run: the names handed to the run so far
    qint64 m_committed = 0;
    bool m_madeAll = false;
    bool m_journaled = false;
    bool m_journalHeld = false; // a name ended "quota": the journal takes no more of this run
    bool m_tallied = true;
    bool m_keepRecords = true; // the running run's
    bool m_fromJournal = false; // the last combination run's report comes from its journal
    bool m_combinations = false;
    bool m_awaitingReport = false; // in finished(): the report decides whether the run is finished
    bool m_reportFailed = false;
    bool m_pacedRun = false; // the running run learns its pace: its counts are kept when it ends
    std::shared_ptr<DnsResolver> m_resolver; // made when a run first asks DNS; its run shares it
};

// The names of every pairing, prefix-major, ".com" appended when asked.
QStringList combinationNames(const QStringList &prefixes, const QStringList &suffixes, bool comSuffix);
// The names of every pairing, prefix-major; with comSuffix each in every TLD of `inputs`, in order
// ("a1.com", "a1.net", "a2.com" …).
QStringList combinationNames(const RunInputs &inputs);
// The name at `position` (from 0) of that order, made alone.
QString combinationName(const RunInputs &inputs, qint64 position);

} // namespace zandrel
