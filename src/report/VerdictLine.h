#pragma once

#include "verdict/Verdict.h"

#include <QString>

namespace zandrel {

// The status-bar line after a single lookup: "myshop.com: taken (whois.verisign-grs.com)",
// "myshop.com: taken, expires 2027-03-01 (whois.verisign-grs.com)", "oldshop.org: taken, in
// redemption, may drop about 2027-01-05 (whois.pir.org)", "gpt.domains: reserved (blocked by the
// registry)", "-bad.com: not registrable (a label begins with a hyphen)", "x.com: unknown, no answer".
// Empty for a lookup that gets no verdict (a registrar or host query).
QString verdictLine(const LookupRecord &record);

// What a taken name's details add to its line: ", in redemption, may drop about 2027-01-05",
// ", expires 2027-03-01", ", expired 2026-11-30"; empty when the answer gave neither.
QString stageText(const VerdictDetails &details);

// The server as the user knows it: a WHOIS server's host without the usual port 43, an RDAP
// service's host.
QString serverShown(const QString &server);

} // namespace zandrel
