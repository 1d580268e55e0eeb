#include "ReportFile.h"

#include <QDir>

namespace zandrel {

namespace {

// Big enough that the file is written in few pieces, small beside any report.
constexpr qsizetype BufferSize = 32 * 1024;

} // namespace

ReportFile::ReportFile(const QString &path, const ReportWriter::WriteBytes &write)
    : m_path(path)
    , m_file(path)
    , m_write(write)
{
    m_ok = m_file.open(QIODevice::WriteOnly);
    m_buffer.reserve(BufferSize + 1024);
}

ReportFile &ReportFile::operator<<(QStringView text)
{
    m_buffer += text;
    // A surrogate pair is encoded whole, so the buffer never ends between its halves.
    if (m_buffer.size() >= BufferSize && !m_buffer.back().isHighSurrogate())
        writeBuffer();
    return *this;
}

void ReportFile::writeBuffer()
{
    if (m_ok && !m_buffer.isEmpty()) {
        const QByteArray bytes = m_buffer.toUtf8();
        const qint64 written = m_write ? m_write(m_file, bytes) : m_file.write(bytes);
        m_ok = written == bytes.size();
    }
    m_buffer.resize(0); // keeps the room for the next piece
}

// QSaveFile buffers, and its commit does not fail on a flush that fails (a full disk): the flush
// is checked before committing, so a failed write never replaces a file.
Result<void> ReportFile::commit()
{
    writeBuffer();
    if (m_ok && m_file.flush() && m_file.error() == QFileDevice::NoError && m_file.commit())
        return {};
    const QString reason = m_file.errorString();
    m_file.cancelWriting();
    return Error(QStringLiteral("Could not write %1: %2").arg(QDir::toNativeSeparators(m_path), reason));
}

} // namespace zandrel
