#pragma once

#include "platform/Result.h"
#include "verdict/ServerTable.h"

#include <QString>
#include <QStringList>

namespace zandrel {

enum class CliMode { Help, Version, Check, Batch };
enum class OutputFormat { Tsv, Json };

// What the command line asked for, checked and ready to run.
struct CliOptions
{
    CliMode mode = CliMode::Help;
    QStringList names; // --check: the names, as given
    bool namesFromInput = false; // --check -: one name per line on standard input
    OutputFormat format = OutputFormat::Tsv;
    bool onlyDropping = false; // --check --stage dropping: print only names free, premium or about to drop
    QString prefixPath; // --batch
    QString suffixPath;
    bool comSuffix = true;
    // --tld: the TLDs each pairing (--batch) or each name without a dot (--check) is asked in;
    // empty: .com for --batch, names as given for --check.
    QStringList tlds;
    bool dnsFirst = false; // --dns-first
    QString dnsServer; // --dns "HOST[:PORT]", already checked; empty: "[Dns] Server" or the system's
    QString outDir; // empty: the current folder
    bool resume = false; // --batch --resume: the lists and options come from the last run's journal
    QString resumePath; // --resume FILE: that journal; empty: the newest unfinished run's
    bool listRuns = false; // --batch --list-runs: show the unfinished runs and stop
    QString server; // "HOST[:PORT]", already checked; empty: the usual routing
    int delayMs = 3000; // with a number for --delay
    bool autoPace = true; // --delay auto (the default): each operator at its own pace
    QString operatorsPath; // --operators FILE: operator lines of the user's own
    bool noWait = false; // --no-wait: a name whose operator's window is full ends "quota"
    bool plan = false; // --plan: say what the run would ask and how long it takes, and ask nothing
    Protocol protocol = Protocol::Auto;
};

// Whether the arguments (program name first) ask for a run without a window. Decided before any
// application object exists, so those runs never load a GUI platform plugin.
bool isCommandLineRun(const QStringList &arguments);

// Whether the window can start with these arguments (program name first); an error, one line,
// for names given without --check or for no display to show it on.
Result<void> checkWindowStart(const QStringList &arguments, bool hasDisplay);

// The arguments (program name first) as options, or the first problem found in them, in one line.
Result<CliOptions> parseCliArguments(const QStringList &arguments);

// Whether `host` can name a server: an IP address, or a host name of letters, digits, hyphens,
// underscores and dots. Blanks, control characters and anything else a query could not reach are
// refused.
bool isServerHost(const QString &host);

// Splits names arriving on standard input, in pieces of any size, into lines: one name a line,
// blanks around it and blank lines dropped. A line longer than MaxLineBytes (far beyond any domain
// name) is refused whole, never cut into a name nobody typed, and no input grows the buffer
// without end.
class NameSplitter
{
public:
    static constexpr qsizetype MaxLineBytes = 4096;

    // The names whose lines `bytes` completes.
    QStringList feed(QByteArrayView bytes);
    // The last name, when the input ended without a line end.
    QStringList finish();
    // The numbers of the lines refused since the last call, counting from 1.
    QList<qsizetype> takeRefused() { return std::exchange(m_refused, {}); }

private:
    void addName(QStringList &names);

    QByteArray m_line;
    bool m_overlong = false;
    qsizetype m_lineNumber = 0;
    QList<qsizetype> m_refused;
};

// The longest wait between lookups that --delay takes, in seconds.
inline constexpr int MaxDelaySeconds = 3600;

} // namespace zandrel
