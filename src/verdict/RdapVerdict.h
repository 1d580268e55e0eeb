#pragma once

#include "Verdict.h"
#include "verdict/RdapAnswer.h"

namespace zandrel {

// The verdict of one RDAP lookup of `aceName` at the service `base`: free only on the not-found
// answer of the name's registry (authority) for domain/NAME under that base, taken only on a
// domain object that names this very domain, unknown with its reason otherwise. When a 404 is
// kept from making the name free, the verdict's `why` says why.
Verdict rdapVerdict(const RdapEnd &end, const QString &aceName, const Authority &authority = {},
                    const QString &base = {});

} // namespace zandrel
