#pragma once

#include "Details.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace zandrel {

struct RegistryRules;

// What one lookup says about one name. Free only when the name's own registry said so; reserved
// when the registry holds it back from the public (never free).
enum class VerdictKind { Free, Taken, Unknown, NotRegistrable, Reserved };

// Why a verdict is unknown.
enum class UnknownReason {
    None, // the verdict is not unknown, or there is none (a registrar or host query)
    NoAnswer,
    ConnectionFailed,
    CutOff,
    RateLimited,
    Unrecognised,
    NoService,
    Quota // not asked: the operator's count over a window was reached (--no-wait)
};

// A reason's words in files, reports and on the command line ("no answer"; empty for None). Stored
// journals are read back by these words, so they never change.
QString reasonWords(UnknownReason reason);
// The reason written as `words`; nothing for words no reason has.
std::optional<UnknownReason> reasonFromWords(const QString &words);

struct Verdict
{
    VerdictKind kind = VerdictKind::Unknown;
    UnknownReason reason = UnknownReason::None;
    // The rule a not-registrable name breaks; the registry's words for a reserved one ("blocked by
    // the registry"); for an unknown verdict, one line saying why an answer that reads free cannot
    // make the name free, when that is why.
    QString why = {};

    static Verdict unknown(UnknownReason reason) { return {VerdictKind::Unknown, reason, {}}; }
    static Verdict notRegistrable(const QString &rule) { return {VerdictKind::NotRegistrable, {}, rule}; }
    // The verdict of `kind` whose reason a file holds as `text` (see reasonText); words no reason
    // has read as none.
    static Verdict fromReasonText(VerdictKind kind, const QString &text);

    bool answered() const { return kind == VerdictKind::Free || kind == VerdictKind::Taken; }
    // The reason as files and the command line write it: the rule of a not-registrable name, the
    // registry's words for a reserved one, the words of an unknown one's reason, empty for the others.
    QString reasonText() const;
    friend bool operator==(const Verdict &, const Verdict &) = default;
};

// The machine-readable spellings used in files and on the command line.
QString verdictName(VerdictKind kind);
// The kind for a spelling; nothing for an unknown one.
std::optional<VerdictKind> verdictFromName(const QString &name);

// How a lookup's exchange with its server ended, whatever the transport.
enum class LookupEnd {
    Answered, // the server sent its answer and closed
    ConnectionFailed, // refused, unreachable, or no connection within the wait
    CutOff, // a time or size limit closed it
    NoAnswer, // connected, but nothing came
    Abandoned // given up by the user (a stopped search)
};

// Whether the server asked speaks for the name's registry, so that its not-found can make the
// name free.
struct Authority
{
    enum class Kind {
        Registry, // the TLD's registry: the table, IANA, the RDAP bootstrap, or [Servers] for the TLD
        SharedServer, // one server for every name (--server, WhoisServer), not known as another's
        OtherRegistry, // a server the table knows as the registry of other TLDs
        OtherSuffix // the name is under a second-level suffix its TLD's registry is not known to serve
    };
    Kind kind = Kind::Registry;
    // One line for the response box, said when this keeps a not-found from making the name free.
    QString why;

    friend bool operator==(const Authority &, const Authority &) = default;
};

// The verdict for `aceName` from this lookup's own answer text, read by the rules of the name's
// TLD: free when a not-found phrase (naming this name) is there and the server speaks for the
// name's registry, taken when the record marker names it (or, with no not-found phrase, when the
// answer reads as a record of this domain: readsAsRecord), unknown with a reason otherwise. A
// rate-limit phrase, or a not-found phrase beside the record marker, makes it unknown (unless the
// row's free answer names the domain too: then the not-found phrase decides). When the
// server's authority is what keeps the name from being free, the verdict's `why` says so.
Verdict decideVerdict(const QString &answer, const QString &aceName, const RegistryRules &rules,
                      LookupEnd end, const Authority &authority = {});

// The line of an answer saying its registry holds only other TLDs than `tld` (Verisign's "The
// Registry database contains ONLY .COM, .NET, .EDU domains"); empty when there is none.
QString otherTldsOnly(const QString &answer, const QString &tld);

// Whether `text` holds `phrase`, case ignored, "{name}" standing for `aceName` as a whole name and
// a run of blanks matching any run of blanks, tabs and line breaks.
bool holdsPhrase(const QString &text, const QString &phrase, const QString &aceName);

// One finished lookup of a combination search (or of a single search), as the driver reports it
// to whoever records the run.
struct LookupRecord
{
    qint64 index = 0; // 1-based position in the run ("Searching 3 of 12" is index 3)
    QString name; // the full name asked (term, plus ".com" when appended), as the user typed it
    bool judged = true; // false: not a domain name (a registrar or host query), so no verdict
    Verdict verdict;
    QString server; // "host:port" or a base URL; empty when no server was asked
    QDateTime checkedAt; // UTC
    QStringList addedAvailable; // entries this lookup added to the Available list
    QStringList addedLinks; // entries this lookup added to the list of existing domains
    QString detail = {}; // why the verdict is unknown, in the response box's words ("connection refused")
    VerdictDetails details = {}; // what the answer said beyond the verdict

    friend bool operator==(const LookupRecord &, const LookupRecord &) = default;
};

// The verdicts of the last run by name, in the order the names were first asked; a name asked
// again keeps its place and takes its new verdict.
class RunTally
{
public:
    struct Row
    {
        QString name;
        Verdict verdict;
    };

    void clear();
    // Off: verdicts are counted and no name is kept, so a name asked twice counts twice.
    void setKeepNames(bool keep) { m_keepNames = keep; }
    void record(const QString &name, const Verdict &verdict);
    int count(VerdictKind kind) const;
    // Names whose registry gave no verdict: what "Search Unanswered Again" would ask. A name nobody
    // can register was answered, by the rules.
    int notAnswered() const { return count(VerdictKind::Unknown); }
    QStringList unknownNames() const;
    // "free N · taken N · not answered N", and "· reserved N" when there are some
    QString countsText() const;

private:
    QList<Row> m_rows;
    QHash<QString, qsizetype> m_index;
    std::array<int, 5> m_counts {}; // rows by verdict kind, kept as rows change: read after every lookup
    bool m_keepNames = true;
};

} // namespace zandrel
