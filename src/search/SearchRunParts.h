#pragma once

// What SearchRun keeps per name, per queue, per referral and per zone: shared by its source files.

#include "SearchRun.h"
#include "lookup/DnsCheck.h"
#include "lookup/Job.h"
#include "lookup/NameLookup.h"
#include "platform/Clock.h"

namespace zandrel {

struct SearchRun::Slot
{
    enum class State { Planning, Referral, Dns, Queued, Running, Done };
    QString name;
    State state = State::Planning;
    std::unique_ptr<NameLookup> job;
    std::unique_ptr<DnsCheck> dns;
    QString settledText; // the line a name DNS settled shows; its record names server "dns"
    QString key; // its server's queue; empty: it asks none
    bool shown = false; // it is, or was, the lookup shown
    int tries = 0; // times its server was asked
    QDateTime quotaUntil; // set: not asked, its operator's window allows it again then
};

// What waits in a server's queue: a name's lookup, or a question to the IANA server about a TLD.
struct SearchRun::Ticket
{
    qint64 index = 0;
    QString referralTld;
};

struct SearchRun::Queue
{
    QString key;
    std::deque<Ticket> waiting;
    bool busy = false;
    qint64 lastEndNs = -1; // on the clock's monotonic count; -1: nothing asked there yet
    bool holdSaid = false; // the back-off's wait was told
    std::unique_ptr<Timer> timer;
    qint64 startNs = 0; // when the lookup under way started
    qint64 lookups = 0; // ended, and the time they took
    qint64 lookupNs = 0;
};

struct SearchRun::Referral
{
    QString key;
    std::unique_ptr<WhoisLookup> job;
    QList<qint64> waiting;
};

struct SearchRun::Zone
{
    enum class Trust { Asking, Trusted, Untrusted };
    Trust trust = Trust::Asking;
    std::unique_ptr<DnsCheck> check;
    QList<qint64> waiting;
};

} // namespace zandrel
