#include "RunLog.h"

namespace zandrel {

RunLog::RunLog(const JournalFolder &folder)
    : m_folder(folder)
    , m_writer(folder.clock())
{ }

bool RunLog::start(const RunInputs &inputs)
{
    m_error.clear();
    const bool started = check(m_folder.start(m_writer, inputs));
    m_path = started ? m_writer.path() : QString();
    return started;
}

bool RunLog::resume(const QString &path, const JournalContents &contents)
{
    m_error.clear();
    m_path = path;
    return check(m_writer.reopen(path, contents.wholeSize));
}

bool RunLog::record(const LookupRecord &record)
{
    // Once a line is missing, later ones would be read as out of order: the journal stops there.
    return !m_writer.isOpen() || check(m_writer.append(record));
}

bool RunLog::finish(const QDateTime &when)
{
    return !m_writer.isOpen() || check(m_writer.finish(when));
}

bool RunLog::interrupt()
{
    return !m_writer.isOpen() || check(m_writer.close());
}

bool RunLog::check(bool written)
{
    if (!written)
        m_error = m_writer.errorString();
    return written;
}

} // namespace zandrel
