#include "RdapVerdict.h"

namespace zandrel {

namespace {

// Whether the answer came from the lookup URL of `aceName` under `base`, not from wherever a
// redirect led.
bool fromBase(const RdapEnd &end, const QString &aceName, const QString &base)
{
    if (end.url.isEmpty() || base.isEmpty())
        return true;
    const QUrl asked = rdapDomainUrl(base, aceName);
    return asked.isValid() && end.url.toString().compare(asked.toString(), Qt::CaseInsensitive) == 0;
}

} // namespace

Verdict rdapVerdict(const RdapEnd &end, const QString &aceName, const Authority &authority,
                    const QString &base)
{
    switch (end.how) {
    case RdapEnd::How::Abandoned:
        return Verdict::unknown(end.status == 0 && end.body.isEmpty() ? UnknownReason::NoAnswer
                                                                      : UnknownReason::CutOff);
    case RdapEnd::How::CutOff:
        return Verdict::unknown(UnknownReason::CutOff);
    case RdapEnd::How::Failed:
        return Verdict::unknown(UnknownReason::ConnectionFailed);
    case RdapEnd::How::RedirectLoop:
    case RdapEnd::How::Answered:
        break;
    }
    if (end.status == 0)
        return Verdict::unknown(UnknownReason::ConnectionFailed);
    if (end.how == RdapEnd::How::RedirectLoop)
        return Verdict::unknown(UnknownReason::Unrecognised);
    Verdict unrecognised = Verdict::unknown(UnknownReason::Unrecognised);
    switch (readRdapAnswer(end, aceName).says) {
    case RdapSays::NotFound:
        if (authority.kind != Authority::Kind::Registry) {
            unrecognised.why = authority.why;
            break;
        }
        if (!fromBase(end, aceName, base)) {
            unrecognised.why = QStringLiteral("The 404 came from %1, not from the registry's service at %2: "
                                              "it does not make the name free.")
                                   .arg(printableLine(end.url.toString()), printableLine(base));
            break;
        }
        return {VerdictKind::Free, {}, {}};
    case RdapSays::Registered:
        return {VerdictKind::Taken, {}, {}};
    case RdapSays::RateLimited:
        return Verdict::unknown(UnknownReason::RateLimited);
    case RdapSays::ServerError:
        return Verdict::unknown(UnknownReason::NoAnswer);
    case RdapSays::Unrecognised:
        break;
    }
    return unrecognised;
}

} // namespace zandrel
