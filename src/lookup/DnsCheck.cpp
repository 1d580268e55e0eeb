#include "DnsCheck.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QRandomGenerator>

#include <ares.h>
#include <netdb.h>

#include <mutex>

namespace zandrel {

namespace {

// Far more than any zone delegates to; an answer listing more is cut here.
constexpr int MaxNameServers = 16;

ares_channel channelOf(void *channel)
{
    return static_cast<ares_channel>(channel);
}

// "HOST[:PORT]" as c-ares takes it ("[::1]:53" for IPv6), or nothing when HOST is no IP address.
std::optional<QByteArray> serverCsv(const QString &text)
{
    QString host = text.trimmed();
    int port = 53;
    if (host.startsWith(u'[')) {
        const qsizetype close = host.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        const QString rest = host.mid(close + 1);
        host = host.mid(1, close - 1);
        if (!rest.isEmpty()) {
            bool ok = false;
            port = rest.startsWith(u':') ? rest.mid(1).toInt(&ok) : 0;
            if (!ok)
                return std::nullopt;
        }
    } else if (host.count(u':') == 1) {
        bool ok = false;
        port = host.section(u':', 1).toInt(&ok);
        host = host.section(u':', 0, 0);
        if (!ok)
            return std::nullopt;
    }
    const QHostAddress address(host);
    if (address.isNull() || port < 1 || port > 65535)
        return std::nullopt;
    // A scope names an interface of this machine: one that is not there can never be asked.
    if (const QString scope = address.scopeId();
        !scope.isEmpty() && !QNetworkInterface::interfaceFromName(scope).isValid())
        return std::nullopt;
    const QString shown = address.protocol() == QAbstractSocket::IPv6Protocol
        ? QStringLiteral("[%1]:%2").arg(address.toString()).arg(port)
        : QStringLiteral("%1:%2").arg(address.toString()).arg(port);
    return shown.toLatin1();
}

DnsAnswer answerOf(int status, const unsigned char *abuf, int alen)
{
    DnsAnswer answer;
    switch (status) {
    case ARES_SUCCESS: {
        hostent *host = nullptr;
        const int parsed = ares_parse_ns_reply(abuf, alen, &host);
        if (parsed == ARES_SUCCESS && host) {
            for (char **alias = host->h_aliases;
                 alias && *alias && answer.nameServers.size() < MaxNameServers; ++alias) {
                QString server = QString::fromLatin1(*alias).toLower();
                if (server.endsWith(u'.'))
                    server.chop(1);
                if (!server.isEmpty())
                    answer.nameServers << server;
            }
            ares_free_hostent(host);
            answer.outcome = answer.nameServers.isEmpty() ? DnsAnswer::Outcome::NotDelegated
                                                          : DnsAnswer::Outcome::Delegated;
            return answer;
        }
        if (host)
            ares_free_hostent(host);
        if (parsed == ARES_ENODATA) {
            answer.outcome = DnsAnswer::Outcome::NotDelegated;
            return answer;
        }
        answer.outcome = DnsAnswer::Outcome::Failed;
        answer.detail = QString::fromLatin1(ares_strerror(parsed));
        return answer;
    }
    case ARES_ENOTFOUND:
    case ARES_ENODATA:
        answer.outcome = DnsAnswer::Outcome::NotDelegated;
        return answer;
    case ARES_ETIMEOUT:
    case ARES_ECONNREFUSED:
        answer.outcome = DnsAnswer::Outcome::Unreachable;
        break;
    default:
        answer.outcome = DnsAnswer::Outcome::Failed;
        break;
    }
    answer.detail = QString::fromLatin1(ares_strerror(status));
    return answer;
}

} // namespace

QString delegatedLine(const QString &name, const QStringList &nameServers)
{
    return QStringLiteral("%1 has name servers %2: taken (the registry was not asked).")
        .arg(name, nameServers.join(QStringLiteral(", ")));
}

QString randomLabel()
{
    QString label;
    for (int i = 0; i < 20; ++i)
        label += QChar(u'a' + QRandomGenerator::global()->bounded(26));
    return label;
}

struct DnsResolver::Pending
{
    DnsResolver *resolver;
    quint64 ticket;
};

struct DnsResolver::Notifiers
{
    QSocketNotifier *read = nullptr;
    QSocketNotifier *write = nullptr;
    ~Notifiers()
    {
        // One of them may be on the stack, emitting: they go once control is back in the loop.
        for (QSocketNotifier *notifier : {read, write}) {
            if (notifier) {
                notifier->setEnabled(false);
                notifier->deleteLater();
            }
        }
    }
};

DnsResolver::DnsResolver(const DnsSettings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
{
    static std::once_flag libraryReady;
    std::call_once(libraryReady, [] { ares_library_init(ARES_LIB_INIT_ALL); });
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { process(ARES_SOCKET_BAD, ARES_SOCKET_BAD); });

    ares_options options {};
    options.sock_state_cb = &DnsResolver::socketState;
    options.sock_state_cb_data = this;
    options.timeout = std::max(1, settings.timeoutMs);
    options.tries = std::max(1, settings.tries);
    // Names are asked as they are: no search domains, no host aliases. A SERVFAIL or REFUSED is
    // kept as such, not turned into "Could not contact DNS servers", so a notice can say which.
    options.flags = ARES_FLAG_NOSEARCH | ARES_FLAG_NOALIASES | ARES_FLAG_NOCHECKRESP;
    ares_channel channel = nullptr;
    const int status = ares_init_options(
        &channel, &options, ARES_OPT_SOCK_STATE_CB | ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES | ARES_OPT_FLAGS);
    if (status != ARES_SUCCESS) {
        m_error = QString::fromLatin1(ares_strerror(status));
        return;
    }
    m_channel = channel;
    if (!settings.server.isEmpty()) {
        const std::optional<QByteArray> csv = serverCsv(settings.server);
        const int set = csv ? ares_set_servers_ports_csv(channel, csv->constData()) : ARES_EBADSTR;
        if (set != ARES_SUCCESS)
            m_error = QStringLiteral("'%1' is not IP-ADDRESS or IP-ADDRESS:PORT").arg(settings.server);
    }
}

DnsResolver::~DnsResolver()
{
    m_destroying = true;
    m_waitingFor.clear();
    if (m_channel)
        ares_destroy(channelOf(m_channel));
    m_sockets.clear();
}

bool isDnsServer(const QString &text)
{
    return serverCsv(text).has_value();
}

quint64 DnsResolver::ask(const QString &name, std::function<void(const DnsAnswer &)> done)
{
    const quint64 ticket = m_nextTicket++;
    m_waitingFor.insert(ticket, std::move(done));
    m_queue.emplace_back(ticket, name);
    // Sent once the caller has returned, so that no answer comes inside this call.
    QMetaObject::invokeMethod(this, &DnsResolver::sendWaiting, Qt::QueuedConnection);
    return ticket;
}

void DnsResolver::cancel(quint64 ticket)
{
    m_waitingFor.remove(ticket);
}

void DnsResolver::sendWaiting()
{
    while (!m_queue.empty() && m_inFlight < m_settings.maxInFlight) {
        const auto [ticket, name] = m_queue.front();
        m_queue.pop_front();
        if (m_waitingFor.contains(ticket))
            send(ticket, name);
    }
}

void DnsResolver::send(quint64 ticket, const QString &name)
{
    if (!m_channel || !m_error.isEmpty()) {
        DnsAnswer answer;
        answer.outcome = DnsAnswer::Outcome::Unreachable;
        answer.detail = m_error;
        deliver(ticket, answer);
        return;
    }
    ++m_inFlight;
    const QByteArray ascii = name.toLatin1();
    ares_query(channelOf(m_channel), ascii.constData(), 1 /* C_IN */, 2 /* T_NS */, &DnsResolver::answered,
               new Pending {this, ticket});
    armTimer();
}

void DnsResolver::answered(void *arg, int status, int, unsigned char *abuf, int alen)
{
    std::unique_ptr<Pending> pending(static_cast<Pending *>(arg));
    DnsResolver *self = pending->resolver;
    if (self->m_destroying)
        return;
    --self->m_inFlight;
    self->deliver(pending->ticket, answerOf(status, abuf, alen));
}

// Answers reach their askers from the event loop, never from inside c-ares.
void DnsResolver::deliver(quint64 ticket, const DnsAnswer &answer)
{
    QMetaObject::invokeMethod(
        this,
        [this, ticket, answer] {
            const auto done = m_waitingFor.take(ticket);
            sendWaiting();
            if (done)
                done(answer);
        },
        Qt::QueuedConnection);
}

void DnsResolver::socketState(void *data, int socket, int readable, int writable)
{
    auto *self = static_cast<DnsResolver *>(data);
    if (!readable && !writable) {
        self->m_sockets.remove(socket);
        return;
    }
    std::shared_ptr<Notifiers> &notifiers = self->m_sockets[socket];
    if (!notifiers) {
        notifiers = std::make_shared<Notifiers>();
        notifiers->read = new QSocketNotifier(socket, QSocketNotifier::Read, self);
        notifiers->write = new QSocketNotifier(socket, QSocketNotifier::Write, self);
        connect(notifiers->read, &QSocketNotifier::activated, self,
                [self, socket] { self->process(socket, ARES_SOCKET_BAD); });
        connect(notifiers->write, &QSocketNotifier::activated, self,
                [self, socket] { self->process(ARES_SOCKET_BAD, socket); });
    }
    notifiers->read->setEnabled(readable);
    notifiers->write->setEnabled(writable);
}

void DnsResolver::process(int readSocket, int writeSocket)
{
    if (!m_channel)
        return;
    ares_process_fd(channelOf(m_channel), readSocket, writeSocket);
    armTimer();
}

void DnsResolver::armTimer()
{
    timeval left {};
    if (!m_channel || !ares_timeout(channelOf(m_channel), nullptr, &left)) {
        m_timer.stop();
        return;
    }
    const qint64 ms = qint64(left.tv_sec) * 1000 + (left.tv_usec + 999) / 1000;
    m_timer.start(int(std::clamp<qint64>(ms, 1, 60'000)));
}

DnsCheck::DnsCheck(DnsResolver &resolver, const QString &asciiName, QObject *parent)
    : Job(parent)
    , m_resolver(&resolver)
    , m_name(asciiName)
{ }

DnsCheck::~DnsCheck()
{
    doKill();
}

void DnsCheck::doStart()
{
    if (!m_resolver) {
        m_answer = {DnsAnswer::Outcome::Unreachable, {}, QStringLiteral("no resolver")};
        setError(FirstOwnError, m_answer.detail);
        emitResult();
        return;
    }
    m_ticket = m_resolver->ask(m_name, [this](const DnsAnswer &answer) {
        m_ticket = 0;
        m_answer = answer;
        if (answer.outcome == DnsAnswer::Outcome::Failed || answer.outcome == DnsAnswer::Outcome::Unreachable)
            setError(FirstOwnError, answer.detail);
        emitResult();
    });
}

void DnsCheck::doKill()
{
    if (m_ticket && m_resolver)
        m_resolver->cancel(std::exchange(m_ticket, 0));
}

} // namespace zandrel
