#pragma once

#include "Journal.h"

#include <QByteArray>

namespace zandrel {

// The journal's lines as JournalWriter writes them and readJournal() reads them, line feed included.
QByteArray headerLine(const RunInputs &inputs);
QByteArray recordLine(const LookupRecord &record);
QByteArray finishedLine(const QDateTime &when);

} // namespace zandrel
