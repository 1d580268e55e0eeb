#pragma once

#include <QString>

namespace zandrel {

// The time a run still needs, from its pace so far: "about 2 h 41 min left", "about 12 min left",
// "less than a minute left"; empty before the first combination is done.
QString timeLeftText(qint64 done, qint64 total, qint64 elapsedMs);

} // namespace zandrel
