#pragma once

#include "verdict/Verdict.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace zandrel {

// A report section for what the answers said beyond free or taken: its title and its rows of
// plain-text cells (escaped where the HTML is made).
struct ReportSection
{
    QString title;
    QString colour;
    QList<QStringList> rows;
};

// "Premium" (free names the registry sells at its premium price), "Reserved" (with the registry's
// words) and "Dropping soon" (names in redemption or pending delete, the earliest to drop first);
// only those that have rows. Gathered one row at a time: only the rows they list are held.
class SectionGatherer
{
public:
    void add(const LookupRecord &row);
    QList<ReportSection> sections() const;

private:
    struct Drop
    {
        QDate drops;
        QStringList cells;
    };
    QList<QStringList> m_premium;
    QList<QStringList> m_reserved;
    QList<Drop> m_drops;
};

// The sections for the ".txt", after its addresses: a blank line, the title, then one line per row,
// its cells separated by tabs.
QString sectionsText(const QList<ReportSection> &sections);

// The expiry date of each existing-domain address a dated answer added to the list.
QHash<QString, QDate> expiryByLink(const QList<LookupRecord> &rows);

} // namespace zandrel
