#include "Journal.h"

#include "JournalLines.h"
#include "platform/Clock.h"

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace zandrel {

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Makes a file's entry in its folder last through a power cut.
void syncFolderOf(const QString &path)
{
    const int fd
        = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool journalInUse(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd); // drops the shared lock taken, if any
    return held;
}

JournalWriter::JournalWriter() = default;

JournalWriter::JournalWriter(const Clock &clock)
    : m_deadline(std::make_unique<Timer>(clock, [this] { handOver(); }))
{ }

JournalWriter::~JournalWriter()
{
    close();
}

Result<void> JournalWriter::create(const QString &path, const RunInputs &inputs)
{
    close();
    m_file.setFileName(path);
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("create"), QStringLiteral("cannot make the folder ") + folder);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return fail(QStringLiteral("create"));
    if (Result<void> locked = lock(); !locked)
        return locked;
    syncFolderOf(path);
    startThread();
    // A run is only resumable from a journal whose first line is there.
    m_waiting.last = headerLine(inputs);
    handOver();
    return waitForDisk();
}

Result<void> JournalWriter::reopen(const QString &path, qint64 wholeSize)
{
    close();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return fail(QStringLiteral("reopen"));
    // The lock comes before the cut: the torn line may be a line another run is writing.
    if (Result<void> locked = lock(); !locked)
        return locked;
    if (m_file.size() < wholeSize)
        return fail(QStringLiteral("reopen"), QStringLiteral("it is shorter than when it was read"));
    if (!m_file.resize(wholeSize) || !m_file.seek(wholeSize))
        return fail(QStringLiteral("reopen"));
    if (::fsync(m_file.handle()) != 0)
        return fail(QStringLiteral("reopen"), systemError(errno));
    startThread();
    ++m_syncs;
    return {};
}

Result<void> JournalWriter::lock()
{
    if (::flock(m_file.handle(), LOCK_EX | LOCK_NB) == 0)
        return {};
    const int code = errno;
    return fail(QStringLiteral("lock"),
                code == EWOULDBLOCK ? QStringLiteral("another search is writing it") : systemError(code));
}

Result<void> JournalWriter::append(const LookupRecord &record)
{
    if (!m_file.isOpen())
        return fail(QStringLiteral("write"));
    // A group that failed shows at the next line; the journal stops there, as later lines would be
    // read as out of order.
    if (const int code = failure())
        return fail(QStringLiteral("write"), systemError(code));
    m_waiting.records.append(record);
    if (!m_deadline || m_waiting.records.size() >= GroupLines)
        handOver();
    else if (m_waiting.records.size() == 1)
        m_deadline->start(GroupMs);
    if (m_deadline)
        return {};
    return waitForDisk();
}

Result<void> JournalWriter::finish(const QDateTime &when)
{
    if (!m_file.isOpen())
        return fail(QStringLiteral("write"));
    m_waiting.last = finishedLine(when);
    return close();
}

Result<void> JournalWriter::close()
{
    if (!m_file.isOpen())
        return {};
    // The caller waits for this last group: whoever reads the journal next must find every line.
    handOver();
    const Result<void> written = waitForDisk();
    stopThread();
    m_file.close();
    return written;
}

void JournalWriter::handOver()
{
    if (m_deadline)
        m_deadline->stop();
    if ((m_waiting.records.isEmpty() && m_waiting.last.isEmpty()) || !m_thread.joinable())
        return;
    {
        const std::lock_guard hold(m_mutex);
        m_groups.push_back(std::exchange(m_waiting, {}));
    }
    m_wake.notify_one();
}

Result<void> JournalWriter::waitForDisk()
{
    int code = 0;
    {
        std::unique_lock hold(m_mutex);
        m_done.wait(hold, [this] { return m_groups.empty(); });
        code = m_failure;
    }
    // A full disk often shows only at the fsync, which leaves its cause in errno alone.
    if (code != 0)
        return fail(QStringLiteral("write"), systemError(code));
    return {};
}

Result<void> JournalWriter::flush()
{
    handOver();
    return waitForDisk();
}

int JournalWriter::failure()
{
    const std::lock_guard hold(m_mutex);
    return m_failure;
}

void JournalWriter::startThread()
{
    m_fd = m_file.handle();
    m_failure = 0;
    m_writes = 0;
    m_syncs = 0;
    m_thread = std::thread([this] { writeGroups(); });
}

void JournalWriter::stopThread()
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard hold(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
    m_stopping = false;
    m_waiting = {};
}

void JournalWriter::writeGroups()
{
    std::unique_lock hold(m_mutex);
    for (;;) {
        m_wake.wait(hold, [this] { return !m_groups.empty() || m_stopping; });
        if (m_groups.empty())
            return;
        // Only this thread takes groups off, so the first one stays put while it is written.
        const Group &group = m_groups.front();
        int failure = m_failure;
        hold.unlock();
        QByteArray bytes;
        for (const LookupRecord &record : group.records)
            bytes += recordLine(record);
        bytes += group.last;
        for (qsizetype done = 0; failure == 0 && done < bytes.size();) {
            const ssize_t wrote = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (wrote > 0) {
                done += wrote;
                ++m_writes;
            } else if (errno != EINTR) {
                failure = wrote < 0 ? errno : EIO;
            }
        }
        if (failure == 0 && ::fsync(m_fd) != 0)
            failure = errno;
        else if (failure == 0)
            ++m_syncs;
        hold.lock();
        m_failure = failure;
        m_groups.pop_front();
        if (m_groups.empty())
            m_done.notify_all();
    }
}

Error JournalWriter::fail(const QString &what, const QString &cause)
{
    const Error error(QStringLiteral("Could not %1 the journal %2: %3")
                          .arg(what, QDir::toNativeSeparators(m_file.fileName()),
                               cause.isEmpty() ? m_file.errorString() : cause));
    stopThread();
    m_file.close();
    return error;
}

} // namespace zandrel
