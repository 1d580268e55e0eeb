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
    // `error` says why.
    bool start(const RunInputs &inputs);
    // Continues the run read from the journal at `path`.
    bool resume(const QString &path, const JournalContents &contents);
    // One finished combination; it reaches the disk with its group (see JournalWriter). Fails when
    // an earlier group could not be written.
    bool record(const LookupRecord &record);
    // The run is complete.
    bool finish(const QDateTime &when);
    // The run ends here, unfinished: what waits is written and the journal stays for a resume.
    bool interrupt();

    QString journalPath() const { return m_path; }
    const QString &error() const { return m_error; }

private:
    bool check(bool written);

    const JournalFolder &m_folder;
    JournalWriter m_writer;
    QString m_path;
    QString m_error;
};

} // namespace zandrel
