#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QTcpSocket;

namespace zandrel {

// A TCP client that delivers received text line by line: bytes are split at the line feed, a
// carriage return before it is dropped, and a last piece without a line feed arrives before the
// disconnection event. Invalid UTF-8 and NUL bytes become replacement characters.
class TcpClient : public QObject
{
    Q_OBJECT
public:
    explicit TcpClient(QObject *parent = nullptr);
    ~TcpClient() override;

    void setRemoteHost(const QString &host) { m_host = host; }
    void setRemotePort(quint16 port) { m_port = port; }

    bool isConnected() const;
    // Starts connecting to the remote host and port; the connection event tells how it went.
    void connectToRemote();
    // Closes the connection or the attempt from this side; no further event of it arrives.
    void close();
    // Sends text on the open connection.
    void send(const QString &text);

signals:
    // status 0: connected; anything else: the attempt failed and `description` says why.
    void connectionEvent(int status, const QString &description);
    void dataEvent(const QString &text);
    void bytesArrived(qint64 total);
    // The server closed the connection (or it broke) after it was open.
    void disconnectionEvent(int status, const QString &description);

private:
    void readAvailable();
    void finish(int status, const QString &description);
    void dropSocket();

    QTcpSocket *m_socket = nullptr;
    QString m_host;
    quint16 m_port = 0;
    QByteArray m_pending;
    qint64 m_received = 0;
    bool m_open = false;
};

// Decodes one received piece: UTF-8, with invalid sequences and NUL bytes made visible as U+FFFD.
QString decodeReceived(const QByteArray &bytes);

} // namespace zandrel
