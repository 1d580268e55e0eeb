#pragma once

#include "Details.h"
#include "Verdict.h"

namespace zandrel {

struct RegistryRules;

// Registries' periods for a deleted name (RFC 3915 section 3.1, ICANN's Redemption Grace Period):
// restorable for 30 days, then released 5 days later.
inline constexpr int RedemptionDays = 30;
inline constexpr int PendingDeleteDays = 5;

// A verdict with what its answer says beyond it.
struct Reading
{
    Verdict verdict;
    VerdictDetails details;
};

// Where an answer came from, for the words of its evidence.
enum class AnswerForm {
    Whois,
    Rdap // the lines readRdapAnswer made of an RDAP answer
};

// Refines the verdict `decided` from `answer` (the same lookup's), with no further query:
// - reserved where the registry holds the name back (Identity Digital's DPML block, "reserved by
//   the Registry", .it's UNASSIGNABLE, CIRA's unavailable …), never free, the registry's words as
//   its reason;
// - free with `premium` where the registry sells the name at its premium price, when no record of
//   the name is there and its registry said so (`authority`);
// - for a taken name, its registrar, dates, EPP statuses and stage on `today`, a status read only
//   from a status field of the record, never from a comment or notice.
// Every reading says which line decided it.
Reading readBeyond(const Verdict &decided, const QString &answer, const QString &aceName,
                   const RegistryRules &rules, const Authority &authority, const QDate &today,
                   AnswerForm form = AnswerForm::Whois);

// The stage of a taken name from its EPP statuses and dates on `today`, and for one in redemption
// or pending delete the earliest day it can be released, reckoned from the day it entered that
// stage (`since`, its last change) and the periods above; without `since`, as if it ended today.
std::pair<Stage, QDate> reckonStage(const QStringList &status, const QDate &expires, const QDate &since,
                                    const QDate &today);

} // namespace zandrel
