#include "RunLog.h"

#include "Progress.h"

namespace zandrel {

RunLog::RunLog(const JournalFolder &folder)
    : m_folder(folder)
{ }

bool RunLog::start(const RunInputs &inputs)
{
    m_records.clear();
    m_sessionFirst = 1;
    m_session.start();
    m_error.clear();
    const bool started = check(m_folder.start(m_writer, inputs));
    m_path = started ? m_writer.path() : QString();
    return started;
}

bool RunLog::resume(const QString &path, const JournalContents &contents)
{
    m_records = contents.records;
    m_sessionFirst = contents.nextIndex();
    m_session.start();
    m_error.clear();
    m_path = path;
    return check(m_writer.reopen(path, contents.wholeSize));
}

bool RunLog::record(const LookupRecord &record)
{
    m_records.append(record);
    // Once a line is missing, later ones would be read as out of order: the journal stops there.
    return !m_writer.isOpen() || check(m_writer.append(record));
}

bool RunLog::finish(const QDateTime &when)
{
    return !m_writer.isOpen() || check(m_writer.finish(when));
}

bool RunLog::check(bool written)
{
    if (!written)
        m_error = m_writer.errorString();
    return written;
}

QString RunLog::timeLeft(qint64 total) const
{
    const qint64 done = m_records.isEmpty() ? 0 : m_records.last().index - m_sessionFirst + 1;
    const qint64 remaining = m_records.isEmpty() ? total : total - m_records.last().index;
    return timeLeftText(done, done + remaining, m_session.isValid() ? m_session.elapsed() : 0);
}

} // namespace zandrel
