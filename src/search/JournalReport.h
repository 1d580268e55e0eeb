#pragma once

#include "report/Report.h"
#include "search/Journal.h"

#include <QSet>
#include <QString>

namespace zandrel {

// The names of a combination run that more than one pairing makes, lower-cased as asked (in each
// TLD when they are appended): "a" + "bc" and "ab" + "c", or a word listed twice. Only these can
// be asked twice in one run, and there are few of them beside the run's names.
QSet<QString> collidingNames(const RunInputs &inputs);

// A report's rows read from a combination run's journal, again at each walk, so that the report of
// a run of any length is written in little memory. A name asked more than once (one of
// collidingNames) is told once, where it was first asked, with its last answer; each existing
// domain once, unless two different names' answers listed it.
ReportSource journalReportSource(const QString &path, const RunInputs &inputs);

} // namespace zandrel
