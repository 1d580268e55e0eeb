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
    QDateTime startedAt; // UTC

    friend bool operator==(const RunInputs &, const RunInputs &) = default;
};

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

// Writes one run's journal: JSON Lines, the inputs first, one line per finished combination, and
// a last line once the run is finished. Every line is on the disk before its call returns.
class JournalWriter
{
public:
    // Starts a new journal at `path`; fails when a file is there already.
    bool create(const QString &path, const RunInputs &inputs);
    // Continues the journal at `path` after its first `wholeSize` bytes (cutting off a torn line).
    bool reopen(const QString &path, qint64 wholeSize);
    bool append(const LookupRecord &record);
    bool finish(const QDateTime &when);
    void close() { m_file.close(); }

    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }
    const QString &errorString() const { return m_error; }

private:
    bool writeLine(const QByteArray &line);
    bool fail(const QString &what);

    QFile m_file;
    QString m_error;
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
    // Removes the journals of runs finished more than `days` days ago; returns how many went.
    int removeFinished(int days = 30) const;

private:
    QStringList journals() const;

    QString m_folder;
    const Clock &m_clock;
};

} // namespace zandrel
