#pragma once

#include "verdict/Verdict.h"

#include <QList>
#include <QString>

namespace zandrel {

// The ".csv" file: a header row "domain,verdict,reason,server,checked_at" and one row per name
// looked up, fields quoted where RFC 4180 needs it, rows ended by CR LF, times in UTC.
QString csvHeader();
QString csvRow(const LookupRecord &record);

// One field as written in a row.
QString csvField(const QString &text);

} // namespace zandrel
