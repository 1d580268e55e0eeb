#pragma once

#include "lookup/Job.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace zandrel {

// Which resolver a run asks, and how patiently.
struct DnsSettings
{
    // "HOST[:PORT]" with HOST an IP address; empty: the system's resolvers (/etc/resolv.conf).
    QString server;
    int timeoutMs = 2000;
    int tries = 2; // the first query and one retry
    int maxInFlight = 64;

    friend bool operator==(const DnsSettings &, const DnsSettings &) = default;
};

// What DNS said about a name's NS records.
struct DnsAnswer
{
    enum class Outcome {
        Delegated, // NS records in the answer: someone holds the name
        NotDelegated, // NXDOMAIN, or an answer without NS records
        Failed, // SERVFAIL, REFUSED, a malformed answer
        Unreachable // no answer in time, or the resolver could not be reached
    };
    Outcome outcome = Outcome::Failed;
    QStringList nameServers; // lower case, without the trailing dot
    QString detail; // the resolver library's words, for anything but Delegated/NotDelegated
};

// "example.com has name servers NS1, NS2: taken (the registry was not asked)."
QString delegatedLine(const QString &name, const QStringList &nameServers);

// One c-ares channel on the Qt event loop: its sockets are watched by socket notifiers, its
// time limits by one timer. No thread, no nested loop. At most `maxInFlight` queries are out at
// once; the others wait in order.
class DnsResolver : public QObject
{
    Q_OBJECT
public:
    explicit DnsResolver(const DnsSettings &settings, QObject *parent = nullptr);
    ~DnsResolver() override;

    // Empty when the channel works; else why not (then every answer is Unreachable).
    const QString &error() const { return m_error; }
    const DnsSettings &settings() const { return m_settings; }

    // Asks for the NS records of `name` (ASCII); `done` comes once, never from inside this call.
    // The returned ticket cancels it.
    quint64 ask(const QString &name, std::function<void(const DnsAnswer &)> done);
    void cancel(quint64 ticket);
    int inFlight() const { return m_inFlight; }

private:
    struct Pending;
    struct Notifiers;
    static void socketState(void *data, int socket, int readable, int writable);
    static void answered(void *arg, int status, int timeouts, unsigned char *abuf, int alen);
    void send(quint64 ticket, const QString &name);
    void deliver(quint64 ticket, const DnsAnswer &answer);
    void sendWaiting();
    void process(int readSocket, int writeSocket);
    void armTimer();

    DnsSettings m_settings;
    QString m_error;
    void *m_channel = nullptr; // ares_channel
    QHash<int, std::shared_ptr<Notifiers>> m_sockets;
    QHash<quint64, std::function<void(const DnsAnswer &)>> m_waitingFor; // by ticket
    std::deque<std::pair<quint64, QString>> m_queue; // not sent yet
    quint64 m_nextTicket = 1;
    int m_inFlight = 0;
    bool m_destroying = false;
    QTimer m_timer;
};

// A job: the NS records of one name. It holds the resolver only as long as the resolver lives: a
// resolver gone first ends nothing and reads nothing freed.
class DnsCheck : public Job
{
    Q_OBJECT
public:
    DnsCheck(DnsResolver &resolver, const QString &asciiName, QObject *parent = nullptr);
    ~DnsCheck() override;

    const QString &name() const { return m_name; }
    const DnsAnswer &answer() const { return m_answer; }

private:
    void doStart() override;
    void doKill() override;

    QPointer<DnsResolver> m_resolver;
    QString m_name;
    quint64 m_ticket = 0;
    DnsAnswer m_answer;
};

// Whether `text` is IP-ADDRESS or IP-ADDRESS:PORT ("[::1]:53" for IPv6), as --dns takes it.
bool isDnsServer(const QString &text);

// 20 random lower-case letters: a name nobody holds, for telling a wildcard zone.
QString randomLabel();

} // namespace zandrel
