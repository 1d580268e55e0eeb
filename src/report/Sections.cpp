#include "Sections.h"

#include "VerdictLine.h"

#include <algorithm>

namespace zandrel {

QList<ReportSection> beyondSections(const QList<LookupRecord> &rows)
{
    ReportSection premium {QStringLiteral("Premium"), QStringLiteral("#FFCC00"), {}};
    ReportSection reserved {QStringLiteral("Reserved"), QStringLiteral("#CCCCCC"), {}};
    ReportSection dropping {QStringLiteral("Dropping soon"), QStringLiteral("#FF66CC"), {}};
    QList<const LookupRecord *> drops;
    for (const LookupRecord &row : rows) {
        if (!row.judged)
            continue;
        if (row.verdict.kind == VerdictKind::Free && row.details.premium)
            premium.rows << QStringList {row.name};
        else if (row.verdict.kind == VerdictKind::Reserved)
            reserved.rows << QStringList {row.name, row.verdict.why};
        else if (row.verdict.kind == VerdictKind::Taken && row.details.dropping())
            drops << &row;
    }
    std::stable_sort(drops.begin(), drops.end(), [](const LookupRecord *a, const LookupRecord *b) {
        return a->details.drops < b->details.drops;
    });
    for (const LookupRecord *row : std::as_const(drops))
        dropping.rows << QStringList {row->name, stageText(row->details).mid(2)};
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
