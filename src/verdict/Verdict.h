#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace zandrel {

// What one lookup says about one name. Free only when the name's own registry said so.
enum class VerdictKind { Free, Taken, Unknown, NotRegistrable };

struct Verdict
{
    VerdictKind kind = VerdictKind::Unknown;
    // Why the verdict is unknown or not registrable (empty for free and taken).
    QString reason;

    bool answered() const { return kind == VerdictKind::Free || kind == VerdictKind::Taken; }
    friend bool operator==(const Verdict &, const Verdict &) = default;
};

// The machine-readable spellings used in files and on the command line.
QString verdictName(VerdictKind kind);
// The kind for a spelling; nothing for an unknown one.
std::optional<VerdictKind> verdictFromName(const QString &name);

// Reasons of an unknown verdict.
namespace reason {
inline const QString NoAnswer = QStringLiteral("no answer");
inline const QString ConnectionFailed = QStringLiteral("connection failed");
inline const QString CutOff = QStringLiteral("cut off");
inline const QString RateLimited = QStringLiteral("rate-limited");
inline const QString Unrecognised = QStringLiteral("unrecognised");
} // namespace reason

// One finished lookup of a combination search (or of a single search), as the driver reports it
// to whoever records the run.
struct LookupRecord
{
    qint64 index = 0; // 1-based position in the run ("Searching 3 of 12" is index 3)
    QString name; // the full name asked (term, plus ".com" when appended), as the user typed it
    Verdict verdict;
    QString server; // "host:port" or a base URL; empty when no server was asked
    QDateTime checkedAt; // UTC
    QStringList addedAvailable; // entries this lookup added to the Available list
    QStringList addedLinks; // entries this lookup added to the list of existing domains
};

} // namespace zandrel
