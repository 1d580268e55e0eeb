#include "TcpClient.h"

#include <QTcpSocket>

namespace zandrel {

QString decodeReceived(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    text.replace(QChar(u'\0'), QChar(QChar::ReplacementCharacter));
    return text;
}

TcpClient::TcpClient(QObject *parent)
    : QObject(parent)
{ }

TcpClient::~TcpClient()
{
    dropSocket();
}

bool TcpClient::isConnected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

void TcpClient::dropSocket()
{
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    m_socket->abort();
    m_socket->deleteLater();
    m_socket = nullptr;
    m_open = false;
    m_pending.clear();
}

void TcpClient::close()
{
    dropSocket();
}

void TcpClient::connectToRemote()
{
    dropSocket();
    m_received = 0;
    m_socket = new QTcpSocket(this);
    QTcpSocket *socket = m_socket;
    connect(socket, &QTcpSocket::connected, this, [this] {
        m_open = true;
        emit connectionEvent(0, QString());
    });
    connect(socket, &QTcpSocket::readyRead, this, &TcpClient::readAvailable);
    connect(socket, &QTcpSocket::disconnected, this, [this] { finish(0, QString()); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError error) {
        if (!m_open) {
            // The attempt never connected: that is the connection event's failure, not a disconnection.
            const QString why = socket->errorString();
            dropSocket();
            emit connectionEvent(int(error) + 1, why);
        } else if (socket->state() != QAbstractSocket::ConnectedState) {
            finish(int(error) + 1, socket->errorString());
        }
    });
    socket->connectToHost(m_host, m_port);
}

void TcpClient::send(const QString &text)
{
    if (isConnected())
        m_socket->write(text.toUtf8());
}

void TcpClient::readAvailable()
{
    if (!m_socket)
        return;
    const QByteArray chunk = m_socket->readAll();
    if (chunk.isEmpty())
        return;
    m_received += chunk.size();
    m_pending += chunk;
    qsizetype start = 0;
    for (qsizetype lf = m_pending.indexOf('\n'); lf >= 0; lf = m_pending.indexOf('\n', start)) {
        qsizetype end = lf;
        if (end > start && m_pending.at(end - 1) == '\r')
            --end;
        const QByteArray line = m_pending.mid(start, end - start);
        start = lf + 1;
        emit dataEvent(decodeReceived(line));
        if (!m_socket) // a handler closed the connection
            return;
    }
    m_pending.remove(0, start);
    emit bytesArrived(m_received);
}

void TcpClient::finish(int status, const QString &description)
{
    if (!m_open || !m_socket)
        return;
    readAvailable();
    if (!m_socket)
        return;
    if (!m_pending.isEmpty()) {
        const QByteArray rest = m_pending;
        m_pending.clear();
        emit dataEvent(decodeReceived(rest));
        if (!m_socket)
            return;
    }
    dropSocket();
    emit disconnectionEvent(status, description);
}

} // namespace zandrel
