#pragma once

#include "verdict/Verdict.h"

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

namespace zandrel {

class Clock;

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

    friend bool operator==(const RunInputs &, const RunInputs &) = default;
};

// How many names a combination search asks: every pairing, in each TLD when they are appended.
qint64 combinationCount(const RunInputs &inputs);

// A journal as far as it could be read.
struct JournalContents
{
    QString error; // why the run cannot be resumed from it; empty when it can be read
    RunInputs inputs;
    QList<LookupRecord> records; // indexes 1, 2, 3 … in order
    bool finished = false;
    QDateTime finishedAt;
    qint64 wholeSize = 0; // bytes up to the end of the last whole line; a torn line lies beyond

    bool ok() const { return error.isEmpty(); }
    // The first combination the journal does not hold.
    qint64 nextIndex() const { return records.size() + 1; }
};

// Reads a journal. A last line cut short by a crash is ignored; any other damage, a newer
// format or a file too large to hold says why in `error`.
JournalContents readJournal(const QString &path);

// Whether a running search holds the journal at `path` (see JournalWriter).
bool journalInUse(const QString &path);

// Writes one run's journal: JSON Lines, the inputs first, one line per finished combination, and
// a last line once the run is finished. Every line is on the disk before its call returns. While
// the journal is open the writer holds a lock on it, which the system drops when the process
// ends, however it ends: a second run cannot take over a journal that is being written.
class JournalWriter
{
public:
    // Starts a new journal at `path`; fails when a file is there already.
    bool create(const QString &path, const RunInputs &inputs);
    // Continues the journal at `path` after its first `wholeSize` bytes (cutting off a torn line);
    // fails, changing nothing, when another run holds it.
    bool reopen(const QString &path, qint64 wholeSize);
    bool append(const LookupRecord &record);
    bool finish(const QDateTime &when);
    void close() { m_file.close(); }

    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }
    const QString &errorString() const { return m_error; }

private:
    bool writeLine(const QByteArray &line);
    bool lock();
    // `cause` is the system's words for the failure; empty: the file's own error text.
    bool fail(const QString &what, const QString &cause = QString());

    QFile m_file;
    QString m_error;
};

// A run that was cut off, as a listing shows it.
struct UnfinishedRun
{
    QString path;
    qint64 done = 0;
    qint64 total = 0;
    QDateTime startedAt; // UTC
    bool inUse = false; // a search is writing it now
};

// The run `--resume` continues: the journal at `path` when one is given, else the newest
// unfinished run in the folder. `error` says why there is none to resume.
struct ResumeChoice
{
    QString path;
    JournalContents contents;
    QString error;
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

    // Starts a journal named by the clock's time, never replacing a file; sets the start time.
    bool start(JournalWriter &writer, RunInputs inputs) const;
    // The journal of the run started last, or an empty text when there is none.
    QString lastJournal() const;
    // The runs not finished whose journals can be read, the newest first.
    QList<UnfinishedRun> unfinishedRuns() const;
    // The run to resume (see ResumeChoice).
    ResumeChoice chooseResume(const QString &path = QString()) const;
    // Removes the journals of runs finished more than `days` days ago; returns how many went.
    int removeFinished(int days = 30) const;

private:
    // The journal names, the newest first.
    QStringList journals() const;

    QString m_folder;
    const Clock &m_clock;
};

} // namespace zandrel
