#pragma once

#include "Journal.h"

namespace zandrel {

// The record of the combination search under way (or of the last one): every finished lookup,
// kept in memory for the report and in the journal on disk so the run can be resumed.
class RunLog
{
public:
    explicit RunLog(const JournalFolder &folder);

    // A new run: forgets the last one and starts its journal. A journal that cannot be written
    // does not stop the run; `error` says why.
    bool start(const RunInputs &inputs);
    // Continues the run read from the journal at `path`.
    bool resume(const QString &path, const JournalContents &contents);
    // One finished combination, on the disk before this returns.
    bool record(const LookupRecord &record);
    // The run is complete.
    bool finish(const QDateTime &when);
    // The run ends here, unfinished: its journal stays for a resume.
    void interrupt() { m_writer.close(); }

    const QList<LookupRecord> &records() const { return m_records; }
    QString journalPath() const { return m_path; }
    const QString &error() const { return m_error; }

private:
    bool check(bool written);

    const JournalFolder &m_folder;
    JournalWriter m_writer;
    QList<LookupRecord> m_records;
    QString m_path;
    QString m_error;
};

} // namespace zandrel
