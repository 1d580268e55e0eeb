#include "CliOutput.h"

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

// The details' keys, in a fixed order, each with its comma before it.
QString detailsJson(const VerdictDetails &details)
{
    QString text;
    const auto add = [&text](const char *key, const QString &value) {
        if (!value.isEmpty())
            text += QStringLiteral(",\"%1\":").arg(QLatin1String(key)) + value;
    };
    const auto date = [](const QDate &day) {
        return day.isValid() ? jsonString(day.toString(Qt::ISODate)) : QString();
    };
    const auto string = [](const QString &value) {
        return value.isEmpty() ? QString() : jsonString(value);
    };
    add("premium", details.premium ? QStringLiteral("true") : QString());
    add("stage", string(stageName(details.stage)));
    add("drops", date(details.drops));
    add("registrar", string(details.registrar));
    add("created", date(details.created));
    add("expires", date(details.expires));
    if (!details.status.isEmpty())
        add("status",
            QString::fromUtf8(
                QJsonDocument(QJsonArray::fromStringList(details.status)).toJson(QJsonDocument::Compact)));
    add("evidence", string(details.evidence));
    return text;
}

QString formatRecord(const LookupRecord &record, OutputFormat format)
{
    const QString verdict = verdictName(record.verdict.kind);
    if (format == OutputFormat::Json) {
        return QStringLiteral("{\"name\":%1,\"verdict\":%2,\"server\":%3,\"reason\":%4,\"detail\":%5%6}\n")
            .arg(jsonString(record.name), jsonString(verdict), jsonString(record.server),
                 jsonString(record.verdict.reasonText()), jsonString(record.detail),
                 detailsJson(record.details));
    }
    return QStringList {tsvField(record.name), verdict, tsvField(record.server),
                        tsvField(record.verdict.reasonText())}
               .join(u'\t')
        + u'\n';
}

bool isFreeOrDropping(const LookupRecord &record)
{
    return record.verdict.kind == VerdictKind::Free
        || (record.verdict.kind == VerdictKind::Taken && record.details.dropping());
}

QString formatRunLine(const UnfinishedRun &run)
{
    QString line = QStringLiteral("%1\t%2\t%3")
                       .arg(tsvField(run.path),
                            run.problem.isEmpty() ? QStringLiteral("%1 of %2").arg(run.done).arg(run.total)
                                                  : QStringLiteral("-"),
                            run.startedAt.toUTC().toString(Qt::ISODate));
    if (!run.problem.isEmpty())
        line += u'\t' + tsvField(run.problem);
    else if (run.inUse)
        line += QStringLiteral("\trunning");
    return line + u'\n';
}

QString batchFilesText(const QStringList &reportPaths, const QString &journalPath)
{
    QStringList files;
    for (const QString &path : reportPaths)
        files << QDir::toNativeSeparators(path);
    QString text = QStringLiteral("zandrel: report: ") + files.join(QStringLiteral(", ")) + u'\n';
    if (!journalPath.isEmpty())
        text += QStringLiteral("zandrel: journal: ") + QDir::toNativeSeparators(journalPath) + u'\n';
    return text;
}

Result<void> checkFolderWritable(const QString &folder)
{
    QByteArray path = QFile::encodeName(QDir(folder).filePath(QStringLiteral(".zandrel-XXXXXX")));
    const int fd = ::mkstemp(path.data());
    if (fd < 0)
        return Error(QString::fromLocal8Bit(std::strerror(errno)), errno);
    // An empty file can be made on a full disk; a block of data cannot. A short write says nothing
    // of its cause: the next one does.
    const QByteArray probe(4096, ' ');
    int code = 0;
    for (qsizetype done = 0; code == 0 && done < probe.size();) {
        const ssize_t wrote = ::write(fd, probe.constData() + done, size_t(probe.size() - done));
        if (wrote > 0)
            done += wrote;
        else if (errno != EINTR)
            code = wrote < 0 ? errno : ENOSPC;
    }
    if (code == 0 && ::fsync(fd) != 0)
        code = errno;
    ::close(fd);
    ::unlink(path.constData());
    if (code == 0)
        return {};
    return Error(QString::fromLocal8Bit(std::strerror(code)), code);
}

OutputWriter::OutputWriter(QIODevice &device)
    : m_device(device)
{ }

Result<void> OutputWriter::write(const QByteArray &bytes)
{
    if (failed())
        return m_state;
    if (m_device.write(bytes) != bytes.size())
        return fail();
    return flush();
}

Result<void> OutputWriter::finish()
{
    if (failed())
        return m_state;
    return flush();
}

Result<void> OutputWriter::flush()
{
    auto *file = qobject_cast<QFileDevice *>(&m_device);
    if (file && !file->flush())
        return fail();
    return {};
}

Error OutputWriter::fail()
{
    const int code = errno;
    const auto *file = qobject_cast<QFileDevice *>(&m_device);
    QString cause
        = file && file->error() != QFileDevice::NoError ? file->errorString() : m_device.errorString();
    if (cause.isEmpty() || cause == QStringLiteral("Unknown error"))
        cause = QString::fromLocal8Bit(std::strerror(code));
    const Error error(QStringLiteral("cannot write to standard output: ") + cause, code);
    m_state = error;
    return error;
}

void holdClosedStandardStreams()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
}

QString progressText(qint64 done, qint64 total, qint64 elapsedMs, qint64 paceMs)
{
    QString text = total >= 0 ? QStringLiteral("%1/%2").arg(done).arg(total) : QString::number(done);
    if (done <= 0 || elapsedMs + paceMs <= 0)
        return text;
    const double perSecond = double(done) * 1000 / double(elapsedMs + paceMs);
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
    const QString text = progressText(done, total, m_started.elapsed(), m_paceMs);
    const qsizetype pad = qMax<qsizetype>(0, m_shownWidth - text.size());
    m_err.write("\r" + text.toUtf8() + QByteArray(pad, ' '));
    m_shownWidth = text.size();
    m_lastDraw.restart();
}

} // namespace zandrel
