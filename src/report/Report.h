#pragma once

#include "platform/Result.h"
#include "verdict/Verdict.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

class QIODevice;

namespace zandrel {

// The results a report tells: every file of a report is composed from this one set, so the files
// cannot disagree.
struct ReportInput
{
    // Every lookup, in the order made (see latestVerdicts). The ".csv" lists them; the HTML's
    // Available Domains and the ".txt" the free names, the HTML's Not Answered the unknown ones
    // (the section is left out when there are none).
    QList<LookupRecord> records;
    QStringList links; // existing domains, for the ".txt" and the HTML's Existing Domains
    QStringList prefixes;
    QStringList suffixes;
};

// `records` with one row per name (case ignored): a name asked again keeps the place it was first
// asked in and takes its last verdict, server and time.
QList<LookupRecord> latestVerdicts(const QList<LookupRecord> &records);

// The rows of a report, walked as often as composing it needs (each file in order, section by
// section), so that no file is ever held whole. A walk that fails stops the report with its error.
struct ReportSource
{
    using RowVisitor = std::function<void(const LookupRecord &)>;
    using LinkVisitor = std::function<void(const QString &link, const QDate &expires)>;

    // One row per name, in the order first asked, with its last verdict (see latestVerdicts).
    std::function<Result<void>(const RowVisitor &)> forEachRow;
    // Each existing domain once, with the expiry date its answer gave (invalid: none).
    std::function<Result<void>(const LinkVisitor &)> forEachLink;
    QStringList prefixes;
    QStringList suffixes;
};

// Where a report's files went.
struct ReportFiles
{
    QString textPath;
    QString htmlPath;
    QString csvPath;
    QString folder;
    bool usedFallback = false; // the program's folder could not be written
};

// The registrar's home page, linked from every available domain.
inline constexpr char16_t RegistrarHomePage[] = u"http://www.networksolutions.com/";

// The report's base name, "MM-dd-yyyy_hh_mm_ss_AP" (12-hour, AM or PM) whatever the locale.
QString reportStamp(const QDateTime &when);

// Escaping for text that comes from a WHOIS server or the user. Control characters and bidirectional
// overrides and isolates become U+FFFD.
QString escapeHtml(const QString &text);
QString encodeQueryTerm(const QString &term);

// The files of one report, by extension; all share one base name.
inline constexpr std::array<QLatin1StringView, 3> ReportExtensions {
    QLatin1StringView(".txt"), QLatin1StringView(".htm"), QLatin1StringView(".csv")};

// `baseName`, or else `baseName` with "-2", "-3" … after it: the first under which no file of the
// report is in `folder`, not even a symbolic link (which a save would follow).
QString freeBaseName(const QString &folder, const QString &baseName);

// Writes the ".txt", ".csv" and ".htm" report files, all in one folder. Each file is written whole
// or not at all, and never over an existing file.
class ReportWriter
{
public:
    // How a file's bytes are written; tests put a failing one in.
    using WriteBytes = std::function<qint64(QIODevice &, const QByteArray &)>;

    explicit ReportWriter(std::function<void(const QString &)> setCaption);
    void setWriteBytes(WriteBytes write) { m_write = std::move(write); }

    // Writes into `folder`; where that cannot be written, into `fallbackFolder` (empty: nowhere else).
    // An error says why no report was written.
    Result<ReportFiles> SaveResults(const QString &baseName, const ReportInput &input, const QString &folder,
                                    const QString &fallbackFolder);
    // The same from rows that are walked instead of held.
    Result<ReportFiles> SaveResults(const QString &baseName, const ReportSource &source,
                                    const QString &folder, const QString &fallbackFolder);

private:
    std::function<void(const QString &)> m_setCaption;
    WriteBytes m_write;
};

} // namespace zandrel
