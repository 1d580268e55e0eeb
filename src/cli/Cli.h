#pragma once

#include <QStringList>

class QIODevice;

namespace zandrel {

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

// The usage text of --help.
QString cliHelpText();

// Runs the command line (program name first) on an existing QCoreApplication and returns the
// exit status.
int runCli(const QStringList &arguments, const CliStreams &streams);

} // namespace zandrel
