#include "Cli.h"

#include "CliOptions.h"
#include "platform/AppInfo.h"

#include <QIODevice>

namespace zandrel {

namespace {

void writeLine(QIODevice &device, const QString &line)
{
    device.write(line.toUtf8() + '\n');
}

} // namespace

QString cliHelpText()
{
    return QStringLiteral(
               "Usage: zandrel [--server HOST[:PORT]]                 start the window\n"
               "       zandrel --check [OPTIONS] NAME...              look the names up\n"
               "       zandrel --check [OPTIONS] -                    names one per line on standard input\n"
               "       zandrel --batch --prefix FILE --suffix FILE [--com | --no-com] [--out DIR] [OPTIONS]\n"
               "       zandrel --help | --version\n"
               "\n"
               "Asks each name's registry whether the name is registered and prints one line per name:\n"
               "NAME, VERDICT, SERVER and REASON separated by tabs. VERDICT is free, taken, unknown or\n"
               "not-registrable; REASON says why for the last two. A name nobody can register is not sent.\n"
               "\n"
               "  --check               look up each full name as given (nothing is appended)\n"
               "  --batch               search every pairing of a prefix word with a suffix word, in the\n"
               "                        window's order, and write its report (.txt and .htm)\n"
               "  --prefix FILE         the prefix word list (--batch)\n"
               "  --suffix FILE         the suffix word list (--batch)\n"
               "  --com                 append \".com\" to every pairing (--batch; the default)\n"
               "  --no-com              append nothing (--batch)\n"
               "  --out DIR             where the report goes (--batch; default: the current folder)\n"
               "  --json                print one JSON object per line: name, verdict, server, reason\n"
               "  --server HOST[:PORT]  ask this one server for every name\n"
               "  --delay SECONDS       wait between one lookup's end and the next one's start\n"
               "                        (default 3; 0 and fractions allowed, at most %1)\n"
               "  -h, --help            show this text\n"
               "  -v, --version         show the version\n"
               "\n"
               "Exit status: 0 when every name got free, taken or not-registrable, 3 when some are\n"
               "unknown, 1 when the report could not be written, 2 for a usage error. On a terminal a\n"
               "progress line on standard error shows the count, the rate and the time left.\n")
        .arg(MaxDelaySeconds);
}

int runCli(const QStringList &arguments, const CliStreams &streams)
{
    const std::variant<CliOptions, UsageError> parsed = parseCliArguments(arguments);
    if (const UsageError *error = std::get_if<UsageError>(&parsed)) {
        writeLine(streams.err, QStringLiteral("zandrel: ") + error->text);
        return ExitUsage;
    }
    const CliOptions &options = std::get<CliOptions>(parsed);
    switch (options.mode) {
    case CliMode::Help:
        streams.out.write(cliHelpText().toUtf8());
        return ExitAnswered;
    case CliMode::Version: {
        const AppInfo app;
        writeLine(streams.out,
                  QStringLiteral("zandrel %1.%2.%3").arg(app.major).arg(app.minor).arg(app.revision));
        return ExitAnswered;
    }
    case CliMode::Check:
    case CliMode::Batch:
        break;
    }
    writeLine(streams.err, QStringLiteral("zandrel: lookups without the window are not available yet"));
    return ExitFailed;
}

} // namespace zandrel
