#pragma once

#include <QStringList>

class QIODevice;

namespace zandrel {

class Clock;
class EventYield;
class SettingsStore;

// Exit statuses of a run without a window.
enum CliExit : int { ExitAnswered = 0, ExitFailed = 1, ExitUsage = 2, ExitSomeUnknown = 3 };

struct CliStreams
{
    QIODevice &in;
    QIODevice &out;
    QIODevice &err;
    bool errIsTerminal = false;
    bool outIsTerminal = false;
};

// What a run takes from the world; the program passes the real ones, tests stand-ins.
struct CliWorld
{
    SettingsStore &settings; // read for the servers; changes are kept in memory
    Clock &clock;
    EventYield &yield;
    QString cacheFolder; // where servers learnt from IANA are kept; empty: the user's cache folder
    QString journalFolder; // where combination searches keep their journals; empty: the user's
};

// The usage text of --help.
QString cliHelpText();

// Runs the command line (program name first) on an existing QCoreApplication and returns the
// exit status.
int runCli(const QStringList &arguments, const CliStreams &streams, const CliWorld &world);

} // namespace zandrel
