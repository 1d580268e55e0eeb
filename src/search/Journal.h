#pragma once

#include "platform/Result.h"
#include "verdict/ServerTable.h"
#include "verdict/Verdict.h"

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace zandrel {

class Clock;
class Timer;

// The journal's format; a journal of a higher number is left alone.
inline constexpr int JournalVersion = 1;

// What a combination search was started with: enough to run it again from any combination.
struct RunInputs
{
    QStringList prefixes;
    QStringList suffixes;
    bool comSuffix = true;
    bool clearEachSearch = true;
    int queryType = 0;
    QString removalText; // taken out of every response
    QString server; // the server every lookup went to; empty when each name went to its registry
    int delayMs = -1; // the fixed wait between lookups; negative: none was set (the window's pace)
    QDateTime startedAt; // UTC
    // With comSuffix: each pairing is asked in each of these TLDs, in this order.
    QStringList tlds {QStringLiteral("com")};
    bool dnsFirst = false; // DNS was asked for NS records before the registries
    // Where the run sent its names (--server, [Servers], WhoisServer, --protocol) and which resolver
    // it asked: a resume routes every name as the run did. Journals written before have none.
    std::optional<ServerOverrides> routing;
    QString dnsServer; // with dnsFirst; empty: the system's resolvers
    bool autoPace = false; // the pace was learned (delayMs the least pause)

    friend bool operator==(const RunInputs &, const RunInputs &) = default;
};

// How many names a combination search asks: every pairing, in each TLD when they are appended.
qint64 combinationCount(const RunInputs &inputs);

// What a journal holds.
struct JournalContents
{
    RunInputs inputs;
    QList<LookupRecord> records; // indexes 1, 2, 3 … in order (none when they were handed out as read)
    qint64 recordCount = 0;
    bool finished = false;
    QDateTime finishedAt;
    qint64 wholeSize = 0; // bytes up to the end of the last whole line; a torn line lies beyond

    // The first combination the journal does not hold.
    qint64 nextIndex() const { return recordCount + 1; }
};

// Reads a journal. A last line cut short by a crash is ignored; any other damage, a newer
// format or a line too long to hold is an error saying why the run cannot be resumed from it, in a
// few words ("line 4 is damaged", "written by a newer Zandrel (format 2)"); see journalProblem().
Result<JournalContents> readJournal(const QString &path);
// The same, line by line: each record goes to `onRecord` as it is read (none: it is only counted)
// instead of into `records`, so a journal of any length is read in little memory.
Result<JournalContents> readJournal(const QString &path,
                                    const std::function<void(LookupRecord &&)> &onRecord);
// "PATH: PROBLEM", a journal that cannot be read and why.
QString journalProblem(const QString &path, const QString &problem);

// Whether a running search holds the journal at `path` (see JournalWriter).
bool journalInUse(const QString &path);

// Writes one run's journal: JSON Lines, the inputs first, one line per finished combination, and
// a last line once the run is finished. A thread of the writer's own makes, writes and syncs the lines
// in groups, in order, so a slow disk never holds up the caller. With a clock a group goes once
// GroupLines lines wait or GroupMs after the first of them, and what waits goes on finish(), close()
// and destruction: a crash loses at most the lines waiting. Without one, each line is on the disk
// before append() returns. While the journal is open the writer holds a lock on it, which the system
// drops when the process ends, however it ends: a second run cannot take over a journal that is
// being written. Every failure closes the journal and says "Could not WHAT the journal PATH: CAUSE".
class JournalWriter
{
public:
    static constexpr int GroupLines = 256;
    static constexpr int GroupMs = 100;

    JournalWriter();
    explicit JournalWriter(const Clock &clock);
    ~JournalWriter();
    JournalWriter(const JournalWriter &) = delete;
    JournalWriter &operator=(const JournalWriter &) = delete;

    // Starts a new journal at `path`, its first line on the disk; fails when a file is there already.
    Result<void> create(const QString &path, const RunInputs &inputs);
    // Continues the journal at `path` after its first `wholeSize` bytes (cutting off a torn line);
    // fails, changing nothing, when another run holds it.
    Result<void> reopen(const QString &path, qint64 wholeSize);
    // Queues one finished combination's line; fails once an earlier group could not be written.
    Result<void> append(const LookupRecord &record);
    // Waits until the groups already handed over are on the disk (not the lines still waiting);
    // fails, closing the journal, when one could not be written.
    Result<void> waitForDisk();
    // Hands the waiting lines over and waits until every line is on the disk.
    Result<void> flush();
    Result<void> finish(const QDateTime &when);
    // Writes what waits and lets the journal go; fails when that could not be written.
    Result<void> close();

    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }
    // Since the journal was opened: the writes and the fsyncs of its file (a group is one of each).
    qint64 writes() const { return m_writes; }
    qint64 syncs() const { return m_syncs; }

private:
    // Lines written with one write and one fsync; the thread makes the records' lines.
    struct Group
    {
        QList<LookupRecord> records;
        QByteArray last; // after the records: the first line of a journal, or its finished line
    };

    // Hands the waiting lines to the thread as one group.
    void handOver();
    // The errno of a group that failed, or 0.
    int failure();
    void startThread();
    void stopThread();
    // The thread's loop: each group in turn, none after one failed.
    void writeGroups();
    Result<void> lock();
    // `cause` is the system's words for the failure; empty: the file's own error text.
    Error fail(const QString &what, const QString &cause = QString());

    QFile m_file;
    std::unique_ptr<Timer> m_deadline; // the waiting lines' GroupMs; none: every line goes at once
    Group m_waiting;

    // Shared with the thread.
    std::thread m_thread;
    int m_fd = -1;
    std::mutex m_mutex;
    std::condition_variable m_wake; // a group was handed over, or the thread is to end
    std::condition_variable m_done; // the thread has written every group handed over
    std::deque<Group> m_groups; // handed over; the first is being written
    int m_failure = 0; // the errno of the first group that failed
    bool m_stopping = false;
    std::atomic<qint64> m_writes = 0;
    std::atomic<qint64> m_syncs = 0;
};

// A run that was cut off, as a listing shows it.
struct UnfinishedRun
{
    QString path;
    qint64 done = 0;
    qint64 total = 0;
    QDateTime startedAt; // UTC
    bool inUse = false; // a search is writing it now
    QString problem; // why its journal cannot be read (done and total are then unknown)
};

// The run `--resume` continues: the journal at `path` when one is given, else the newest
// unfinished run in the folder.
struct ResumeChoice
{
    QString path;
    JournalContents contents; // its records counted, not kept
};

// The folder that keeps the journals: where a new one starts, which one is the last run's, and
// the removal of finished runs' journals after a month.
class JournalFolder
{
public:
    JournalFolder(const QString &folder, const Clock &clock);

    // The per-user data folder's "zandrel/runs".
    static QString standardFolder();
    const QString &path() const { return m_folder; }
    const Clock &clock() const { return m_clock; }

    // Starts a journal named by the clock's time, never replacing a file; sets the start time.
    Result<void> start(JournalWriter &writer, RunInputs inputs) const;
    // The journal of the run started last, or an empty text when there is none.
    QString lastJournal() const;
    // The runs not finished, the newest first, with those whose journals cannot be read.
    QList<UnfinishedRun> unfinishedRuns() const;
    // The run to resume (see ResumeChoice), or why there is none.
    Result<ResumeChoice> chooseResume(const QString &path = QString()) const;
    // Removes the journals of runs finished more than `days` days ago; returns how many went.
    int removeFinished(int days = 30) const;

private:
    // The journal names, the newest first.
    QStringList journals() const;

    QString m_folder;
    const Clock &m_clock;
};

} // namespace zandrel
