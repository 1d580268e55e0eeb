#include "RdapLookup.h"

#include "platform/Clock.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace zandrel {

RdapLookup::RdapLookup(QNetworkAccessManager &network, const Clock &clock, QObject *parent)
    : LookupJob(clock, parent)
    , m_network(network)
{ }

RdapLookup::~RdapLookup()
{
    dropReply();
}

void RdapLookup::connectWaitRanOut()
{
    if (!m_active || m_sent)
        return;
    dropReply();
    m_end.how = RdapEnd::How::Failed;
    m_end.failure = QStringLiteral("no connection within %1 s").arg(m_limits.connectWaitMs / 1000.0);
    emit responseText(QStringLiteral("Connection failed: no connection within %1 seconds.\r\n\r\n")
                          .arg(m_limits.connectWaitMs / 1000.0));
    end();
}

void RdapLookup::doStart()
{
    m_active = true;
    const QUrl url = rdapDomainUrl(m_base, m_name);
    if (!url.isValid()) {
        m_end.how = RdapEnd::How::Failed;
        m_end.failure = QStringLiteral("not an http or https RDAP address");
        emit responseText(QStringLiteral("Not an http or https RDAP address: ") + printableLine(m_base)
                          + QStringLiteral("\r\n\r\n"));
        end();
        return;
    }
    QNetworkRequest request(url);
    request.setRawHeader("Accept", "application/rdap+json");
    // Asking for no compression keeps the size limit a limit on what is held in memory.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    m_reply = m_network.get(request);
    m_reply->setReadBufferSize(64 * 1024);
    connect(m_reply, &QNetworkReply::encrypted, this, &RdapLookup::onSent);
    connect(m_reply, &QNetworkReply::requestSent, this, &RdapLookup::onSent);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &RdapLookup::onHeaders);
    connect(m_reply, &QNetworkReply::readyRead, this, &RdapLookup::onData);
    connect(m_reply, &QNetworkReply::finished, this, &RdapLookup::onFinished);
    m_connectWait.start(m_limits.connectWaitMs);
}

void RdapLookup::abandon(const QString &why)
{
    if (!m_active)
        return;
    dropReply();
    m_end.how = RdapEnd::How::Abandoned;
    emit responseText(QStringLiteral("\r\n") + why + QStringLiteral("\r\n"));
    end();
}

void RdapLookup::onSent()
{
    if (m_sent || !m_active)
        return;
    m_sent = true;
    m_connectWait.stop();
    emit responseText(QStringLiteral("Connected.  Waiting for data...\r\n\r\n"));
    m_idle.start(m_limits.idleMs);
    m_total.start(m_limits.totalMs);
}

void RdapLookup::onHeaders()
{
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > m_limits.maxBytes)
        giveUp(sizeLimitLine(m_limits));
}

void RdapLookup::onData()
{
    if (!m_active || !m_reply)
        return;
    if (m_sent)
        m_idle.start(m_limits.idleMs);
    m_end.body += m_reply->read(m_limits.maxBytes + 1 - m_end.body.size());
    if (m_end.body.size() > m_limits.maxBytes)
        giveUp(sizeLimitLine(m_limits));
}

void RdapLookup::onFinished()
{
    if (!m_active || !m_reply)
        return;
    onData();
    if (!m_active || !m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_end.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    m_end.reasonPhrase
        = QString::fromLatin1(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
    m_end.contentType = reply->rawHeader("Content-Type");
    m_end.url = reply->url();
    m_end.retryAfterSeconds = parseRetryAfter(reply->rawHeader("Retry-After"), m_clock.now());
    const QNetworkReply::NetworkError error = reply->error();
    const QString errorText = printableLine(reply->errorString());
    dropReply();
    m_idle.stop();
    m_total.stop();

    if (error == QNetworkReply::TooManyRedirectsError || error == QNetworkReply::InsecureRedirectError) {
        m_end.how = RdapEnd::How::RedirectLoop;
        onSent();
        emit responseText(
            error == QNetworkReply::TooManyRedirectsError
                ? QStringLiteral("The server redirected more than %1 times.\r\n").arg(MaxRedirects)
                : QStringLiteral("The server redirected to a less safe address.\r\n"));
    } else if (m_end.status == 0) {
        m_end.how = RdapEnd::How::Failed;
        m_end.failure = errorText.isEmpty() ? errorText : errorText.at(0).toLower() + errorText.mid(1);
        emit responseText(QStringLiteral("Connection failed: ") + errorText + QStringLiteral("\r\n\r\n"));
    } else {
        onSent();
        QString text;
        for (const QString &line : readRdapAnswer(m_end, m_name).lines)
            text += line + QStringLiteral("\r\n");
        emit responseText(text);
    }
    end();
}

void RdapLookup::giveUp(const QString &why)
{
    if (!m_active)
        return;
    dropReply();
    m_end.how = RdapEnd::How::CutOff;
    m_end.failure = QStringLiteral("cut off: ") + why;
    emit responseText(QStringLiteral("\r\n") + why + QStringLiteral("\r\n"));
    end();
}

void RdapLookup::dropReply()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
}

} // namespace zandrel
