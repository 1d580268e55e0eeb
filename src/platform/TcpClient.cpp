#include "TcpClient.h"

#include <QFile>
#include <QHostInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zandrel {

QByteArray withCrLf(QByteArrayView lines)
{
    QByteArray out;
    out.reserve(lines.size() + lines.count('\n'));
    qsizetype from = 0;
    for (qsizetype lf = lines.indexOf('\n'); lf >= 0; lf = lines.indexOf('\n', from)) {
        out += lines.sliced(from, lf - from);
        if (lf == from || lines.at(lf - 1) != '\r')
            out += '\r';
        out += '\n';
        from = lf + 1;
    }
    out += lines.sliced(from);
    return out;
}

TcpClient::TcpClient(QObject *parent)
    : QObject(parent)
{
    connect(&m_readable, &QSocketNotifier::activated, this, &TcpClient::readAvailable);
    connect(&m_writable, &QSocketNotifier::activated, this, &TcpClient::onWritable);
}

TcpClient::~TcpClient()
{
    dropSocket();
}

bool TcpClient::isConnected() const
{
    return m_fd >= 0 && m_open;
}

namespace {

// The address as the socket calls take it; false for an address that is neither IPv4 nor IPv6.
bool toSockAddr(const QHostAddress &address, quint16 port, sockaddr_storage &storage, socklen_t &length)
{
    storage = {};
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto *in = reinterpret_cast<sockaddr_in *>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof(sockaddr_in);
        return true;
    }
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, bytes.c, sizeof(bytes.c));
        const QString scope = address.scopeId();
        bool numeric = false;
        in6->sin6_scope_id = scope.toUInt(&numeric);
        if (!scope.isEmpty() && !numeric)
            in6->sin6_scope_id = if_nametoindex(QFile::encodeName(scope).constData());
        length = sizeof(sockaddr_in6);
        return true;
    }
    return false;
}

} // namespace

void TcpClient::closeDescriptor()
{
    m_readable.setEnabled(false);
    m_writable.setEnabled(false);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_open = false;
}

void TcpClient::dropSocket()
{
    ++m_attempt; // nothing posted for the attempt being dropped may arrive any more
    if (m_hostLookup >= 0)
        QHostInfo::abortHostLookup(m_hostLookup);
    m_hostLookup = -1;
    closeDescriptor();
    m_pending.clear();
    m_outgoing.clear();
}

void TcpClient::close()
{
    dropSocket();
}

void TcpClient::connectToRemote()
{
    dropSocket();
    m_received = 0;
    m_addresses.clear();
    m_nextAddress = 0;
    m_lastError = 0;
    QHostAddress literal;
    if (literal.setAddress(m_host)) {
        m_addresses << literal;
        connectToNext();
        return;
    }
    const quint64 attempt = m_attempt;
    m_hostLookup = QHostInfo::lookupHost(m_host, this, [this, attempt](const QHostInfo &info) {
        if (attempt != m_attempt)
            return;
        m_hostLookup = -1;
        m_addresses = info.addresses();
        if (info.error() != QHostInfo::NoError || m_addresses.isEmpty())
            fail(Error(QStringLiteral("Host not found"), HostNotFound));
        else
            connectToNext();
    });
}

// Tries the remaining addresses of the host in turn; the first whose connection starts is waited
// for. When none is left the failure is posted, so it never arrives before connectToRemote returns.
void TcpClient::connectToNext()
{
    while (m_nextAddress < m_addresses.size()) {
        sockaddr_storage address;
        socklen_t length = 0;
        if (!toSockAddr(m_addresses.at(m_nextAddress++), m_port, address, length)) {
            m_lastError = EAFNOSUPPORT;
            continue;
        }
        const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            m_lastError = errno;
            continue;
        }
        // EINTR leaves the connection going on, as EINPROGRESS does.
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0 || errno == EINPROGRESS
            || errno == EINTR) {
            m_fd = fd;
            m_writable.setSocket(fd);
            m_writable.setEnabled(true);
            return;
        }
        m_lastError = errno;
        ::close(fd);
    }
    const quint64 attempt = m_attempt;
    const int error = m_lastError ? m_lastError : EHOSTUNREACH;
    QMetaObject::invokeMethod(
        this,
        [this, attempt, error] {
            if (attempt == m_attempt)
                fail(Error(qt_error_string(error), error));
        },
        Qt::QueuedConnection);
}

void TcpClient::fail(const Error &error)
{
    dropSocket();
    emit connectionEvent(error);
}

void TcpClient::onWritable()
{
    if (m_fd < 0)
        return;
    if (m_open) {
        flushOutgoing();
        return;
    }
    int error = 0;
    socklen_t length = sizeof(error);
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0)
        error = errno;
    if (error != 0) {
        m_lastError = error;
        closeDescriptor();
        connectToNext();
        return;
    }
    m_open = true;
    m_writable.setEnabled(false);
    m_readable.setSocket(m_fd);
    m_readable.setEnabled(true);
    emit connectionEvent({});
}

void TcpClient::send(const QString &text)
{
    if (!isConnected())
        return;
    m_outgoing += text.toUtf8();
    flushOutgoing();
}

// Writes what the socket takes now; the rest waits for it to become writable. A broken connection
// is left for the reading side to find.
void TcpClient::flushOutgoing()
{
    while (!m_outgoing.isEmpty()) {
        const ssize_t sent = ::send(m_fd, m_outgoing.constData(), size_t(m_outgoing.size()), MSG_NOSIGNAL);
        if (sent > 0) {
            m_outgoing.remove(0, sent);
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_writable.setEnabled(true);
            return;
        } else {
            m_outgoing.clear();
        }
    }
    m_writable.setEnabled(false);
}

QByteArray TcpClient::takeRest()
{
    if (m_pending.isEmpty())
        return {};
    const QByteArray rest = m_pending;
    m_pending.clear();
    return withCrLf(rest) + "\r\n";
}

void TcpClient::readAvailable()
{
    if (m_fd < 0 || !m_open)
        return;
    constexpr qint64 ReadSize = 64 * 1024;
    constexpr qint64 MostPerEvent = 1 << 20;
    QByteArray chunk;
    bool over = false;
    bool ended = false;
    int endError = 0;
    // Reads until the socket has nothing more for now, so a server that answers and closes at once
    // costs no extra wait for the close; without a limit, a server that never stops sending still
    // hands the thread back to the event loop after each mebibyte.
    while (chunk.size() < MostPerEvent) {
        const qint64 room = m_limit < 0 ? ReadSize : std::min(ReadSize, m_limit - m_received - chunk.size());
        if (room <= 0) {
            // At the limit: one more byte waiting means the answer is too large.
            char probe = 0;
            const ssize_t peeked = ::recv(m_fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
            over = peeked > 0;
            ended = peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
            if (peeked < 0 && ended)
                endError = errno;
            break;
        }
        const qsizetype at = chunk.size();
        chunk.resize(at + room);
        const ssize_t got = ::read(m_fd, chunk.data() + at, size_t(room));
        chunk.resize(at + std::max<ssize_t>(got, 0));
        if (got > 0)
            continue;
        if (got == 0) {
            ended = true;
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            ended = true;
            endError = errno;
        }
        break;
    }
    const quint64 attempt = m_attempt;
    const auto dropped = [this, attempt] {
        return attempt != m_attempt;
    }; // a handler closed it
    if (!chunk.isEmpty()) {
        m_received += chunk.size();
        m_pending += chunk;
        // Every line this read completed goes out as one piece; only the new bytes are searched,
        // so a server dripping a long line costs no more than a fast one.
        const qsizetype lfInChunk = chunk.lastIndexOf('\n');
        if (lfInChunk >= 0) {
            const qsizetype lastLf = m_pending.size() - chunk.size() + lfInChunk;
            const QByteArray lines = withCrLf(QByteArrayView(m_pending).first(lastLf + 1));
            m_pending.remove(0, lastLf + 1);
            emit dataEvent(lines);
            if (dropped())
                return;
        }
        emit bytesArrived(m_received);
        if (dropped())
            return;
    }
    if (over) {
        // The rest stays unread until the connection is closed.
        m_readable.setEnabled(false);
        emit limitExceeded();
    } else if (ended) {
        finish(endError ? Result<void>(Error(qt_error_string(endError), endError)) : Result<void>());
    }
}

void TcpClient::finish(const Result<void> &closed)
{
    if (!m_open || m_fd < 0)
        return;
    const quint64 attempt = m_attempt;
    if (!m_pending.isEmpty()) {
        emit dataEvent(takeRest());
        if (attempt != m_attempt)
            return;
    }
    dropSocket();
    emit disconnectionEvent(closed);
}

} // namespace zandrel
