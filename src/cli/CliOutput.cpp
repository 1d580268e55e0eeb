#include "CliOutput.h"

#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>

namespace zandrel {

namespace {

QString tsvField(const QString &text)
{
    QString field = text;
    for (QChar &c : field) {
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    }
    return field;
}

// One JSON string, escaped by Qt's own writer (the keys of a line are written by hand, as a JSON
// object from Qt would put them in alphabetical order).
QString jsonString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray {text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.sliced(1, array.size() - 2));
}

QString clockText(qint64 seconds)
{
    const qint64 hours = seconds / 3600;
    const QString minutesSeconds
        = QStringLiteral("%1:%2")
              .arg(hours ? (seconds / 60) % 60 : seconds / 60, hours ? 2 : 1, 10, QLatin1Char('0'))
              .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return hours ? QStringLiteral("%1:%2").arg(hours).arg(minutesSeconds) : minutesSeconds;
}

QString rateText(double perSecond)
{
    if (perSecond >= 10)
        return QString::number(qRound64(perSecond));
    return QString::number(perSecond, 'f', perSecond >= 1 ? 1 : 2);
}

} // namespace

QString formatRecord(const LookupRecord &record, OutputFormat format)
{
    const QString verdict = verdictName(record.verdict.kind);
    if (format == OutputFormat::Json) {
        return QStringLiteral("{\"name\":%1,\"verdict\":%2,\"server\":%3,\"reason\":%4}\n")
            .arg(jsonString(record.name), jsonString(verdict), jsonString(record.server),
                 jsonString(record.verdict.reason));
    }
    return QStringList {tsvField(record.name), verdict, tsvField(record.server),
                        tsvField(record.verdict.reason)}
               .join(u'\t')
        + u'\n';
}

QString progressText(qint64 done, qint64 total, qint64 elapsedMs)
{
    QString text = total >= 0 ? QStringLiteral("%1/%2").arg(done).arg(total) : QString::number(done);
    if (done <= 0 || elapsedMs <= 0)
        return text;
    const double perSecond = double(done) * 1000 / double(elapsedMs);
    text += QStringLiteral("  %1/s").arg(rateText(perSecond));
    if (total >= done) {
        const qint64 left = qint64(double(total - done) / perSecond + 0.5);
        text += QStringLiteral("  %1 left").arg(clockText(left));
    }
    return text;
}

ProgressLine::ProgressLine(QIODevice &err, bool errIsTerminal, bool outIsTerminal)
    : m_err(err)
    , m_enabled(errIsTerminal)
    , m_sharesTerminal(errIsTerminal && outIsTerminal)
{
    m_started.start();
}

void ProgressLine::erase()
{
    if (!m_enabled || m_shownWidth == 0)
        return;
    m_err.write("\r" + QByteArray(m_shownWidth, ' ') + "\r");
    m_shownWidth = 0;
}

void ProgressLine::eraseForOutput()
{
    if (m_sharesTerminal)
        erase();
}

void ProgressLine::update(qint64 done, qint64 total)
{
    constexpr qint64 RedrawMs = 100;
    if (!m_enabled)
        return;
    if (m_shownWidth > 0 && m_lastDraw.isValid() && m_lastDraw.elapsed() < RedrawMs)
        return;
    const QString text = progressText(done, total, m_started.elapsed());
    const qsizetype pad = qMax<qsizetype>(0, m_shownWidth - text.size());
    m_err.write("\r" + text.toUtf8() + QByteArray(pad, ' '));
    m_shownWidth = text.size();
    m_lastDraw.restart();
}

} // namespace zandrel
