#pragma once

#include "Journal.h"

namespace zandrel {

// The journal of the combination search under way (or of the last one): every finished lookup on
// the disk, in groups, so the run can be resumed.
class RunLog
{
public:
    explicit RunLog(const JournalFolder &folder);

    // A new run: starts its journal. A journal that cannot be written does not stop the run;
    // the error says why.
    Result<void> start(const RunInputs &inputs);
    // Continues the run read from the journal at `path`.
    Result<void> resume(const QString &path, const JournalContents &contents);
    // One finished combination; it reaches the disk with its group (see JournalWriter). Fails when
    // an earlier group could not be written.
    Result<void> record(const LookupRecord &record);
    // Every line handed over so far on the disk; fails when one could not be written.
    Result<void> flush();
    // The run is complete.
    Result<void> finish(const QDateTime &when);
    // The run ends here, unfinished: what waits is written and the journal stays for a resume.
    Result<void> interrupt();

    QString journalPath() const { return m_path; }

private:
    const JournalFolder &m_folder;
    JournalWriter m_writer;
    QString m_path;
};

} // namespace zandrel
