#pragma once

#include <QStringList>

#include <functional>
#include <memory>

class QIODevice;
class QObject;

namespace zandrel {

class Clock;
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
    QString cacheFolder; // where servers learnt from IANA are kept; empty: the user's cache folder
    QString journalFolder; // where combination searches keep their journals; empty: the user's
    QString stateFolder; // where the counts over windows are kept between runs; empty: the user's
};

// The usage text of --help.
QString cliHelpText();

// Starts the command line (program name first) on an existing QCoreApplication; `done` gets the
// exit status once the run has ended, which may be before this returns. The run lives as long as
// what this returns (nothing when it ended at once).
std::unique_ptr<QObject> runCli(const QStringList &arguments, const CliStreams &streams,
                                const CliWorld &world, std::function<void(int)> done);
// Ends a run under way now, as a kill would.
void abortCli(QObject *run);

} // namespace zandrel
