#pragma once

#include "ScriptedDnsResolver.h"
#include "ScriptedHttpServer.h"
#include "ScriptedWhoisServer.h"
#include "harvest/UniqueList.h"
#include "search/SearchSession.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

namespace zandrel::test {

// A search session on three scripted registries (.com and .net share the first, as Verisign's do),
// an IANA server and a DNS resolver, all on 127.0.0.1. Time is a manual clock that a run moves on
// only to the next pause's end, never past a lookup's own limits.
struct RegistryRig
{
    static constexpr int PauseMs = 1000;

    // Taken when the name starts with "t", else free, after `delayMs` (then in two pieces).
    static ScriptedWhoisServer::Reply registry(const QByteArray &query, int delayMs = 0)
    {
        const QByteArray name = query.trimmed().split(' ').last().toUpper();
        const QByteArray text = name.startsWith("T")
            ? "Domain Name: " + name + "\r\nName Server: NS1." + name + "\r\n"
            : "No match for \"" + name + "\".\r\n";
        return {text, delayMs > 0 ? int(text.size() / 2 + 1) : 0, delayMs};
    }
    // An RDAP service's answer for a name nobody holds.
    static ScriptedHttpServer::Reply rdapFree()
    {
        return {404, "{\"errorCode\":404}", {{"Content-Type", "application/rdap+json"}}};
    }
    // The names the session asks to learn whether a zone answers for every name.
    static bool isRandomCheck(const QString &name) { return name.section(u'.', 0, 0).size() == 20; }

    ScriptedWhoisServer verisign, org, de, iana;
    ScriptedDnsResolver resolver;
    QTemporaryDir cache, journals;
    ManualClock clock {QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC)};
    UniqueList available {UniqueList::Key::Exact};
    UniqueList links {UniqueList::Key::WithoutQuotes};
    std::unique_ptr<SearchSession> session;
    QList<LookupRecord> committed;
    QStringList notices, shown;
    // The longest the clock moves on at once while a run waits (a hold or a window takes longer).
    int maxStepMs = PauseMs;
    // When each server was asked, on the manual clock.
    QHash<const ScriptedWhoisServer *, QList<qint64>> askedAtMs;
    // DNS: names whose first label starts with "d" are delegated; a zone listed here answers for
    // every name.
    QStringList wildcardZones;

    RegistryRig()
    {
        using namespace Qt::StringLiterals;
        answerAfter(0, 0, 0);
        for (ScriptedWhoisServer *server : {&verisign, &org, &de, &iana})
            QObject::connect(server, &ScriptedWhoisServer::queryReceived, server,
                             [this, server] { askedAtMs[server] << nowMs(); });
        resolver.setReplyFor([this](const QString &name) -> ScriptedDnsResolver::Reply {
            if ((name.startsWith(u'd') && !isRandomCheck(name))
                || wildcardZones.contains(name.section(u'.', -1)))
                return {ScriptedDnsResolver::Reply::Kind::NameServers,
                        {u"ns1.host.net"_s, u"ns2.host.net"_s}};
            return {};
        });
        session = makeSession();
    }
    // A session on the rig's servers, as a program started again would make.
    std::unique_ptr<SearchSession> makeSession()
    {
        using namespace Qt::StringLiterals;
        RouterSettings settings;
        settings.cacheFolder = cache.path();
        settings.rdapBootstrapUrl = u"http://127.0.0.1:1/dns.json"_s;
        settings.ianaServer = iana.address();
        // Lookups end by what the servers do, never by the clock moved on for a pause.
        settings.limits = {.connectWaitMs = 3'600'000, .idleMs = 3'600'000, .totalMs = 3'600'000};
        for (const auto &[tld, server] : {std::pair {u"com"_s, &verisign}, std::pair {u"net"_s, &verisign},
                                          std::pair {u"org"_s, &org}, std::pair {u"de"_s, &de}})
            settings.overrides.perTld.insert(tld, server->address());
        auto made = std::make_unique<SearchSession>(settings, journals.path(), clock, available, links);
        made->request().pauseMs = PauseMs;
        made->request().stopGraceMs = 2000;
        made->request().dnsSettings = {.server = resolver.address()};
        QObject::connect(made.get(), &SearchSession::committed, made.get(),
                         [this](const LookupRecord &record) { committed << record; });
        QObject::connect(made.get(), &SearchSession::notice, made.get(),
                         [this](const QString &text) { notices << text; });
        QObject::connect(made.get(), &SearchSession::warning, made.get(),
                         [this](const QString &text) { notices << text; });
        QObject::connect(made.get(), &SearchSession::text, made.get(),
                         [this](const QString &text) { shown << text; });
        return made;
    }
    qint64 nowMs() const { return clock.monotonicNs() / 1'000'000; }
    // The learned pace from `operators` lines, with no fixed pause.
    bool learnPace(const QString &operators)
    {
        session->request().autoPace = true;
        session->request().pauseMs = 0;
        return session->paces().addLines(operators, QStringLiteral("test")).ok();
    }
    // The names the run's tally counts, answered or not.
    int tallied() const
    {
        const RunTally &tally = session->tally();
        return tally.count(VerdictKind::Free) + tally.count(VerdictKind::Taken) + tally.notAnswered();
    }
    void answerAfter(int verisignMs, int orgMs, int deMs)
    {
        verisign.setReplyFor([verisignMs](const QByteArray &q) { return registry(q, verisignMs); });
        org.setReplyFor([orgMs](const QByteArray &q) { return registry(q, orgMs); });
        de.setReplyFor([deMs](const QByteArray &q) { return registry(q, deMs); });
    }
    // Starts a run and drives it to its end: whenever nothing happens for a moment, the clock moves
    // on to the next pause's end.
    bool run(const std::function<void()> &start)
    {
        QSignalSpy finished(session.get(), &SearchSession::finished);
        start();
        for (int turns = 0; finished.isEmpty() && turns < 3000; ++turns) {
            if (finished.wait(10))
                break;
            const qint64 next = clock.nextDueInMs();
            if (next >= 0 && next <= maxStepMs)
                clock.advance(next);
        }
        return !finished.isEmpty();
    }
    QStringList committedNames() const
    {
        QStringList names;
        for (const LookupRecord &record : committed)
            names << record.name;
        return names;
    }
    // The names the registries were asked, sorted.
    QStringList registryNames() const
    {
        QStringList names;
        for (const QByteArray &query : verisign.queries() + org.queries() + de.queries())
            names << QString::fromLatin1(query.trimmed().split(' ').last()).toLower();
        names.sort();
        return names;
    }
    // Every query to `server` came at least the pause after the one before.
    bool pausedApart(const ScriptedWhoisServer *server) const { return pausedApart(askedAtMs.value(server)); }
    static bool pausedApart(const QList<qint64> &at)
    {
        for (qsizetype i = 1; i < at.size(); ++i) {
            if (at[i] - at[i - 1] < PauseMs) {
                qWarning("%lld ms apart", at[i] - at[i - 1]);
                return false;
            }
        }
        return true;
    }
};

} // namespace zandrel::test
