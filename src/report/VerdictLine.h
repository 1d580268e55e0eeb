#pragma once

#include "verdict/Verdict.h"

#include <QString>

namespace zandrel {

// The status-bar line after a single lookup: "myshop.com: taken (whois.verisign-grs.com)",
// "-bad.com: not registrable (a label begins with a hyphen)", "x.com: unknown, no answer".
// Empty for a lookup that gets no verdict (a registrar or host query).
QString verdictLine(const LookupRecord &record);

// The server as the user knows it: a WHOIS server's host without the usual port 43, an RDAP
// service's host.
QString serverShown(const QString &server);

} // namespace zandrel
