#pragma once

#include "CliOptions.h"
#include "platform/Result.h"
#include "search/Journal.h"
#include "verdict/Verdict.h"

#include <QElapsedTimer>
#include <QString>

class QIODevice;

namespace zandrel {

// One output line for a finished lookup, line feed included: NAME, VERDICT, SERVER and REASON
// separated by tabs, or a JSON object with the keys name, verdict, server, reason and detail (what
// went wrong, for an unknown verdict). Control characters never reach a tab-separated line, so
// every record stays one line of four fields.
// The JSON object goes on with what the answer said beyond the verdict, each key only when known:
// premium (true), stage, drops, registrar, created, expires (ISO 8601 dates), status (the EPP
// codes) and evidence (the line or RDAP member that decided the verdict).
QString formatRecord(const LookupRecord &record, OutputFormat format);

// Whether --stage dropping prints the record: a free name (premium too), or a taken one in
// redemption or pending delete.
bool isFreeOrDropping(const LookupRecord &record);

// One line of --list-runs, line feed included: the journal's path, "DONE of TOTAL" and the start
// time (UTC, ISO 8601) separated by tabs, and a fourth field "running" while a search writes it; for
// a journal that cannot be read, "-" and the problem ("line 4 is damaged") in the fourth field.
QString formatRunLine(const UnfinishedRun &run);

// What a finished --batch says on standard error: where its report files and its journal are.
QString batchFilesText(const QStringList &reportPaths, const QString &journalPath);

// Whether a report can be written into `folder`, found by creating a file there and writing to it;
// the error is the system's words ("No such file or directory", "Permission denied", "No space
// left on device" …).
Result<void> checkFolderWritable(const QString &folder);

// Standard output with every write checked: the first failure is kept with its cause and nothing
// more is written after it, so the run can end with one message and status 1. Its error reads
// "cannot write to standard output: No space left on device".
class OutputWriter
{
public:
    explicit OutputWriter(QIODevice &device);

    // Writes and hands the bytes to the system at once; fails once any write has failed.
    Result<void> write(const QByteArray &bytes);
    // The last flush; fails when this or an earlier write failed.
    Result<void> finish();
    bool failed() const { return !m_state.ok(); }

private:
    Result<void> flush();
    Error fail();

    QIODevice &m_device;
    Result<void> m_state; // the first failure, once there is one
};

// Puts /dev/null on standard input, output and error when they are closed, before anything else
// opens a file: a socket or journal would otherwise take descriptor 0 or 1 and be read as the
// names or written with the results. Output and error are opened for reading only, so writes to
// them still fail ("Bad file descriptor") and are reported; input then reads as empty.
void holdClosedStandardStreams();

// "120/5000  3.4/s  23:55 left"; without a total (negative), the count and the rate only.
// The rate counts one pause more than the time taken, so the first estimates, made after lookups
// that did not wait yet, already reckon with the pace.
QString progressText(qint64 done, qint64 total, qint64 elapsedMs, qint64 paceMs = 0);

// The progress line on a terminal's standard error, redrawn in place, at most ten times a second
// while it stays on screen. Nothing is drawn when standard error is not a terminal.
class ProgressLine
{
public:
    ProgressLine(QIODevice &err, bool errIsTerminal, bool outIsTerminal);

    // Wipes the line; call before writing an error.
    void erase();
    // Wipes the line when standard output goes to the same terminal; call before writing a result.
    void eraseForOutput();
    // The pause between lookups at one server.
    void setPaceMs(qint64 paceMs) { m_paceMs = paceMs; }
    // Shows the count after a finished lookup.
    void update(qint64 done, qint64 total);

private:
    QIODevice &m_err;
    bool m_enabled;
    bool m_sharesTerminal;
    QElapsedTimer m_started;
    QElapsedTimer m_lastDraw;
    qsizetype m_shownWidth = 0;
    qint64 m_paceMs = 0;
};

} // namespace zandrel
