#pragma once

#include "verdict/Verdict.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

namespace zandrel {

class EventYield;
class UniqueList;

// What the report is made from, read at the moment of writing.
struct ReportInput
{
    const UniqueList *links = nullptr; // existing domains, read live (the caption counts them)
    QStringList available;
    QStringList prefixes;
    QStringList suffixes;
    // Names the run could not judge, with the reason; their section is left out when empty.
    QList<QPair<QString, QString>> notAnswered;
    QList<LookupRecord> records {}; // every name looked up in the run, for the ".csv"
};

struct ReportResult
{
    bool ok = false;
    QString textPath;
    QString htmlPath;
    QString csvPath;
    QString folder; // where the files went
    bool usedFallback = false; // the program's folder could not be written
    QString error; // why the write failed, when it did
};

// The registrar's home page, linked from every available domain.
inline constexpr char16_t RegistrarHomePage[] = u"http://www.networksolutions.com/";

// The report's base name, "MM-dd-yyyy_hh_mm_ss_AP" (12-hour, AM or PM) whatever the locale.
QString reportStamp(const QDateTime &when);

// The ".txt" file: every existing-domain address, each followed by CR LF.
QString composeLinkText(const QStringList &links);

// Escaping for text that comes from a WHOIS server or the user.
QString escapeHtml(const QString &text);
QString encodeQueryTerm(const QString &term);

// Writes the ".txt", ".csv" and ".htm" report files, all in one folder. Each file is written whole
// or not at all.
class ReportWriter
{
public:
    ReportWriter(EventYield &yield, std::function<void(const QString &)> setCaption);

    // Writes into `folder`; where that cannot be written, into `fallbackFolder`.
    ReportResult SaveResults(const QString &baseName, const ReportInput &input, const QString &folder,
                             const QString &fallbackFolder);

private:
    EventYield &m_yield;
    std::function<void(const QString &)> m_setCaption;
};

} // namespace zandrel
