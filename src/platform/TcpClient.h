#pragma once

#include "Result.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

namespace zandrel {

// A TCP client that delivers the bytes received in whole lines, each ended by CR LF: every line
// that one read completed arrives as one piece (a line feed alone becomes CR LF), and a last line
// without a line feed arrives, with CR LF put after it, before the disconnection event. The bytes
// are left as the server sent them: its reader knows their charset. No more than the byte limit is
// ever read.
// It drives a non-blocking socket with two notifiers made once, so that a lookup costs little
// more than the system calls of the connection itself (a new QTcpSocket per lookup cost more than
// the exchange with a near server).
class TcpClient : public QObject
{
    Q_OBJECT
public:
    explicit TcpClient(QObject *parent = nullptr);
    ~TcpClient() override;

    void setRemoteHost(const QString &host) { m_host = host; }
    void setRemotePort(quint16 port) { m_port = port; }
    // Bytes past this many (negative: no limit) are never delivered; limitExceeded() tells.
    void setByteLimit(qint64 limit) { m_limit = limit; }

    bool isConnected() const;
    // Starts connecting to the remote host and port; the connection event tells how it went.
    void connectToRemote();
    // Closes the connection or the attempt from this side; no further event of it arrives.
    void close();
    // The last line received so far without its line feed, as dataEvent would have delivered it at
    // the disconnection; it is delivered no more.
    QByteArray takeRest();
    // Sends text on the open connection.
    void send(const QString &text);

signals:
    // The attempt to connect ended: connected, or why not (its code the system's error number, or
    // HostNotFound).
    void connectionEvent(const zandrel::Result<void> &connected);
    void dataEvent(const QByteArray &lines);
    void bytesArrived(qint64 total);
    // The server sent more than the byte limit; what fit has been delivered, the rest is held
    // until takeRest() or close().
    void limitExceeded();
    // The server closed the connection after it was open; an error when it broke instead.
    void disconnectionEvent(const zandrel::Result<void> &closed);

public:
    static constexpr int HostNotFound = -1;

private:
    void connectToNext();
    void onWritable();
    void flushOutgoing();
    void closeDescriptor();
    void readAvailable();
    void fail(const Error &error);
    void finish(const Result<void> &closed);
    void dropSocket();

    QSocketNotifier m_readable {QSocketNotifier::Read};
    QSocketNotifier m_writable {QSocketNotifier::Write};
    int m_fd = -1;
    int m_hostLookup = -1;
    quint64 m_attempt = 0; // tells a posted failure of an earlier attempt from the current one
    QList<QHostAddress> m_addresses;
    qsizetype m_nextAddress = 0;
    int m_lastError = 0;
    QString m_host;
    quint16 m_port = 0;
    QByteArray m_outgoing;
    QByteArray m_pending;
    qint64 m_received = 0;
    qint64 m_limit = -1;
    bool m_open = false;
};

// Complete lines as they are shown: a line feed without a carriage return before it gets one.
QByteArray withCrLf(QByteArrayView lines);

} // namespace zandrel
