#include "RdapVerdict.h"

namespace zandrel {

Verdict rdapVerdict(const RdapEnd &end, const QString &aceName)
{
    if (end.abandoned)
        return {VerdictKind::Unknown,
                end.status == 0 && end.body.isEmpty() ? reason::NoAnswer : reason::CutOff};
    if (end.cutOff)
        return {VerdictKind::Unknown, reason::CutOff};
    if (end.failed || end.status == 0)
        return {VerdictKind::Unknown, reason::ConnectionFailed};
    if (end.redirectLoop)
        return {VerdictKind::Unknown, reason::Unrecognised};
    switch (readRdapAnswer(end, aceName).says) {
    case RdapSays::NotFound:
        return {VerdictKind::Free, {}};
    case RdapSays::Registered:
        return {VerdictKind::Taken, {}};
    case RdapSays::RateLimited:
        return {VerdictKind::Unknown, reason::RateLimited};
    case RdapSays::ServerError:
        return {VerdictKind::Unknown, reason::NoAnswer};
    case RdapSays::Unrecognised:
        break;
    }
    return {VerdictKind::Unknown, reason::Unrecognised};
}

} // namespace zandrel
