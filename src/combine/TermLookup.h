#pragma once

#include "verdict/Verdict.h"

namespace zandrel {

// One way to look up the term in the search box (WHOIS today). A lookup that starts ends once:
// its text is in the response box, the scans have run, `LookupPending` is cleared, and
// lastRecord() holds its name, verdict and what it added to the lists.
class TermLookup
{
public:
    virtual ~TermLookup() = default;

    // Looks up the search box's term in the chosen form; ".com" is appended as the check box
    // says, unless `asIs`. Returns once the query is on its way (or could not be sent).
    virtual void lookUpTerm(bool asIs) = 0;
    // Gives up the lookup in progress, with `why` as its last line; it ends now, as far as it got.
    virtual void abandon(const QString &why) = 0;
    // How long a stopped search still waits for a response already on its way.
    virtual int stopGraceMs() const = 0;
    // The last lookup that ended. Its index and time are left for the caller to fill in.
    virtual LookupRecord lastRecord() const = 0;
};

} // namespace zandrel
