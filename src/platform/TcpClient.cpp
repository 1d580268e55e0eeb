#include "TcpClient.h"

#include <QTcpSocket>

namespace zandrel {

QString decodeReceived(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    text.replace(QChar(u'\0'), QChar(QChar::ReplacementCharacter));
    return text;
}

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

QString TcpClient::takeRest()
{
    if (m_pending.isEmpty())
        return {};
    const QByteArray rest = m_pending;
    m_pending.clear();
    return decodeReceived(withCrLf(rest) + "\r\n");
}

void TcpClient::readAvailable()
{
    if (!m_socket)
        return;
    const qint64 room = m_limit < 0 ? -1 : m_limit - m_received;
    const QByteArray chunk = room < 0 ? m_socket->readAll() : m_socket->read(room);
    const bool over = room >= 0 && m_socket->bytesAvailable() > 0;
    if (!chunk.isEmpty()) {
        m_received += chunk.size();
        m_pending += chunk;
        // Every line this read completed goes out as one piece; only the new bytes are searched,
        // so a server dripping a long line costs no more than a fast one.
        const qsizetype lfInChunk = chunk.lastIndexOf('\n');
        if (lfInChunk >= 0) {
            const qsizetype lastLf = m_pending.size() - chunk.size() + lfInChunk;
            const QString lines = decodeReceived(withCrLf(QByteArrayView(m_pending).first(lastLf + 1)));
            m_pending.remove(0, lastLf + 1);
            emit dataEvent(lines);
            if (!m_socket) // a handler closed the connection
                return;
        }
        emit bytesArrived(m_received);
        if (!m_socket)
            return;
    }
    if (over)
        emit limitExceeded();
}

void TcpClient::finish(int status, const QString &description)
{
    if (!m_open || !m_socket)
        return;
    readAvailable();
    if (!m_socket)
        return;
    if (!m_pending.isEmpty()) {
        emit dataEvent(takeRest());
        if (!m_socket)
            return;
    }
    dropSocket();
    emit disconnectionEvent(status, description);
}

} // namespace zandrel
