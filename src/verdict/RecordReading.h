#pragma once

#include <QString>

namespace zandrel {

// Reading a registration record in whatever shape a registry gives it: a domain field naming the
// very domain asked, beside registration data. Field names are read at a line's start only, so a
// comment ("% Domain: …"), a disclaimer or a sentence never counts.

// Whether the answer names `aceName` (or its Unicode form) in a domain field: "Domain:",
// "Domain Name:", "domain name:", "Domain-Ace:", "[Domain Name]", a tab or a dotted leader
// ("Domain Name..........:") after the key, the value on that line or alone on the next one.
bool namesDomainInField(const QString &answer, const QString &aceName);

// Whether the answer says a name is not registered in words most registries use ("No match",
// "not found", "No entries found", "is free", "available" or "invalid" as a status …).
bool holdsCommonNotFound(const QString &answer);

// A record of `aceName` in a form of its registry's own: the domain field names it, and a field
// gives a creation or expiry date, a registrar, name servers or a status, with no common not-found
// words anywhere. Never a reason to call a name free.
bool readsAsRecord(const QString &answer, const QString &aceName);

// The answer with the Unicode form of `aceName` written in its ACE form wherever it stands, so
// phrases naming the ACE form match an answer that gives the Unicode one (DENIC's
// "Domain: bäckerei.de"); the answer as it is for an ASCII-only name.
QString withAceName(const QString &answer, const QString &aceName);

} // namespace zandrel
