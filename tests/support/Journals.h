#pragma once

#include "Recorders.h"
#include "search/Journal.h"

namespace zandrel::test {

// Starts a run's journal in `folder` as at `startedAt`, writes lookups 1 to `records` (each name
// free) and, when `finished`, ends the run a minute later. The journal stays open, and locked,
// until `writer` closes it.
inline bool writeRun(JournalWriter &writer, const QString &folder, const QDateTime &startedAt,
                     const RunInputs &inputs, int records, bool finished = false)
{
    const FixedClock clock(startedAt);
    if (!JournalFolder(folder, clock).start(writer, inputs))
        return false;
    for (int i = 1; i <= records; ++i) {
        LookupRecord record;
        record.index = i;
        record.name = QStringLiteral("n%1.com").arg(i);
        record.verdict = {VerdictKind::Free, {}};
        if (!writer.append(record))
            return false;
    }
    return !finished || writer.finish(startedAt.addSecs(60));
}

} // namespace zandrel::test
