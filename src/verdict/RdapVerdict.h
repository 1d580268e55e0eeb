#pragma once

#include "Verdict.h"
#include "verdict/RdapAnswer.h"

namespace zandrel {

// The verdict of one RDAP lookup of `aceName`: free only on the registry's own not-found answer,
// taken only on a domain object that names this very domain, unknown with its reason otherwise.
Verdict rdapVerdict(const RdapEnd &end, const QString &aceName);

} // namespace zandrel
