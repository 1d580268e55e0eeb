#include "ScriptedDnsResolver.h"

#include <QNetworkDatagram>

namespace zandrel::test {

namespace {

// The query's name, and where its question ends; nothing for a message that is not a question.
bool readQuestion(const QByteArray &query, QString *name, qsizetype *end)
{
    if (query.size() < 12)
        return false;
    qsizetype at = 12;
    QStringList labels;
    while (at < query.size()) {
        const int length = quint8(query.at(at));
        if (length == 0)
            break;
        if (length > 63 || at + 1 + length > query.size())
            return false;
        labels << QString::fromLatin1(query.mid(at + 1, length)).toLower();
        at += 1 + length;
    }
    if (at + 5 > query.size())
        return false;
    *name = labels.join(u'.');
    *end = at + 5; // the zero, the type and the class
    return true;
}

QByteArray encodedName(const QString &name)
{
    QByteArray bytes;
    for (const QString &label : name.split(u'.', Qt::SkipEmptyParts)) {
        const QByteArray ascii = label.toLatin1();
        bytes += char(ascii.size());
        bytes += ascii;
    }
    bytes += '\0';
    return bytes;
}

void put16(QByteArray &bytes, int value)
{
    bytes += char((value >> 8) & 0xff);
    bytes += char(value & 0xff);
}

// The answer to `query`, whose question ends at `end`, as the script says; empty for silence.
QByteArray answer(const QByteArray &query, qsizetype end, const ScriptedDnsResolver::Reply &reply)
{
    using Kind = ScriptedDnsResolver::Reply::Kind;
    if (reply.kind == Kind::Silence)
        return {};
    QByteArray message = query.left(2); // the query's id
    const int rcode = reply.kind == Kind::NxDomain ? 3 : reply.kind == Kind::ServFail ? 2 : 0;
    const bool records = reply.kind == Kind::NameServers || reply.kind == Kind::Garbage;
    put16(message, 0x8180 | rcode); // a response, recursion desired and available
    put16(message, 1);
    put16(message, records ? std::max<int>(1, reply.nameServers.size()) : 0);
    put16(message, 0);
    put16(message, 0);
    message += query.mid(12, end - 12);
    if (reply.kind == Kind::Garbage)
        return message + QByteArray("\xc0\x0c\x00\x02\x00\x01\xff", 7); // a record cut short
    for (const QString &server : reply.kind == Kind::NameServers ? reply.nameServers : QStringList()) {
        const QByteArray rdata = encodedName(server);
        message += QByteArray("\xc0\x0c\x00\x02\x00\x01\x00\x00\x0e\x10", 10); // NS IN, 3600 s
        put16(message, int(rdata.size()));
        message += rdata;
    }
    return message;
}

} // namespace

ScriptedDnsResolver::ScriptedDnsResolver(QObject *parent)
    : QObject(parent)
{
    setReplyFor([](const QString &) { return Reply {}; });
    m_socket.bind(QHostAddress::LocalHost, 0);
    connect(&m_socket, &QUdpSocket::readyRead, this, &ScriptedDnsResolver::read);
}

QString ScriptedDnsResolver::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_socket.localPort());
}

void ScriptedDnsResolver::read()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram();
        QString name;
        qsizetype end = 0;
        if (!readQuestion(datagram.data(), &name, &end))
            continue;
        m_queries << name;
        const QByteArray reply = answer(datagram.data(), end, m_script(name));
        if (!reply.isEmpty())
            m_socket.writeDatagram(datagram.makeReply(reply));
    }
}

} // namespace zandrel::test
