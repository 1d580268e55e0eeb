#include "RunLog.h"

namespace zandrel {

RunLog::RunLog(const JournalFolder &folder)
    : m_folder(folder)
    , m_writer(folder.clock())
{ }

Result<void> RunLog::start(const RunInputs &inputs)
{
    const Result<void> started = m_folder.start(m_writer, inputs);
    m_path = started ? m_writer.path() : QString();
    return started;
}

Result<void> RunLog::resume(const QString &path, const JournalContents &contents)
{
    m_path = path;
    return m_writer.reopen(path, contents.wholeSize);
}

Result<void> RunLog::record(const LookupRecord &record)
{
    // Once a line is missing, later ones would be read as out of order: the journal stops there.
    if (!m_writer.isOpen())
        return {};
    return m_writer.append(record);
}

Result<void> RunLog::flush()
{
    if (!m_writer.isOpen())
        return {};
    return m_writer.flush();
}

Result<void> RunLog::finish(const QDateTime &when)
{
    if (!m_writer.isOpen())
        return {};
    return m_writer.finish(when);
}

Result<void> RunLog::interrupt()
{
    return m_writer.close();
}

} // namespace zandrel
