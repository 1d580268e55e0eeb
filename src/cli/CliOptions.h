#pragma once

#include "verdict/ServerTable.h"

#include <QString>
#include <QStringList>

#include <variant>

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
    QString prefixPath; // --batch
    QString suffixPath;
    bool comSuffix = true;
    QString outDir; // empty: the current folder
    bool resume = false; // --batch --resume: the lists and options come from the last run's journal
    QString server; // "HOST[:PORT]", already checked; empty: the usual routing
    int delayMs = 3000;
    Protocol protocol = Protocol::Auto;
};

struct UsageError
{
    QString text; // one line naming the problem
};

// Whether the arguments (program name first) ask for a run without a window. Decided before any
// application object exists, so those runs never load a GUI platform plugin.
bool isCommandLineRun(const QStringList &arguments);

// The arguments (program name first) as options, or the first problem found in them.
std::variant<CliOptions, UsageError> parseCliArguments(const QStringList &arguments);

// The longest wait between lookups that --delay takes, in seconds.
inline constexpr int MaxDelaySeconds = 3600;

} // namespace zandrel
