#include "Sections.h"

#include "VerdictLine.h"

#include <algorithm>

namespace zandrel {

void SectionGatherer::add(const LookupRecord &row)
{
    if (!row.judged)
        return;
    if (row.verdict.kind == VerdictKind::Free && row.details.premium)
        m_premium << QStringList {row.name};
    else if (row.verdict.kind == VerdictKind::Reserved)
        m_reserved << QStringList {row.name, row.verdict.why};
    else if (row.verdict.kind == VerdictKind::Taken && row.details.dropping())
        m_drops << Drop {row.details.drops, {row.name, stageText(row.details).mid(2)}};
}

QList<ReportSection> SectionGatherer::sections() const
{
    QList<Drop> drops = m_drops;
    std::stable_sort(drops.begin(), drops.end(),
                     [](const Drop &a, const Drop &b) { return a.drops < b.drops; });
    ReportSection premium {QStringLiteral("Premium"), QStringLiteral("#FFCC00"), m_premium};
    ReportSection reserved {QStringLiteral("Reserved"), QStringLiteral("#CCCCCC"), m_reserved};
    ReportSection dropping {QStringLiteral("Dropping soon"), QStringLiteral("#FF66CC"), {}};
    for (const Drop &drop : std::as_const(drops))
        dropping.rows << drop.cells;
    QList<ReportSection> sections;
    for (ReportSection *section : {&premium, &reserved, &dropping}) {
        if (!section->rows.isEmpty())
            sections << std::move(*section);
    }
    return sections;
}

QString sectionsText(const QList<ReportSection> &sections)
{
    QString text;
    for (const ReportSection &section : sections) {
        text += QStringLiteral("\r\n") + section.title + QStringLiteral(":\r\n");
        for (const QStringList &cells : section.rows)
            text += cells.join(u'\t') + QStringLiteral("\r\n");
    }
    return text;
}

QHash<QString, QDate> expiryByLink(const QList<LookupRecord> &rows)
{
    QHash<QString, QDate> expiry;
    for (const LookupRecord &row : rows) {
        if (!row.details.expires.isValid())
            continue;
        for (const QString &link : row.addedLinks)
            expiry.insert(link, row.details.expires);
    }
    return expiry;
}

} // namespace zandrel
