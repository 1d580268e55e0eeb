#include "Csv.h"

using namespace Qt::StringLiterals;

namespace zandrel {

QString csvField(const QString &text)
{
    QString field = text;
    // A spreadsheet runs a cell that starts like a formula; a leading apostrophe keeps it text.
    static const QString FormulaStarts = QStringLiteral("=+-@\t\r");
    if (!field.isEmpty() && FormulaStarts.contains(field.front()))
        field.prepend(u'\'');
    if (!field.contains(u',') && !field.contains(u'"') && !field.contains(u'\r') && !field.contains(u'\n'))
        return field;
    field.replace(u'"', QStringLiteral("\"\""));
    return u'"' + field + u'"';
}

QString csvHeader()
{
    // The columns past checked_at came later: readers of the first five keep working.
    return QStringLiteral(
        "domain,verdict,reason,server,checked_at,premium,stage,drops,registrar,created,expires,status,"
        "evidence\r\n");
}

QString csvRow(const LookupRecord &record)
{
    const QString time
        = record.checkedAt.isValid() ? record.checkedAt.toUTC().toString(Qt::ISODate) : QString();
    // A registrar or host query gets no verdict.
    const QString verdict = record.judged ? verdictName(record.verdict.kind) : QString();
    const VerdictDetails &details = record.details;
    const auto date = [](const QDate &day) {
        return day.toString(Qt::ISODate);
    };
    return csvField(record.name) + u',' + verdict + u',' + csvField(record.verdict.reasonText()) + u','
        + csvField(record.server) + u',' + time + u',' + (details.premium ? u"true"_s : QString()) + u','
        + stageName(details.stage) + u',' + date(details.drops) + u',' + csvField(details.registrar) + u','
        + date(details.created) + u',' + date(details.expires) + u',' + csvField(details.status.join(u' '))
        + u',' + csvField(details.evidence) + QStringLiteral("\r\n");
}

} // namespace zandrel
