#pragma once

#include <QString>

namespace zandrel {

// The command line's word file as compiled into the program.
QString cliHelpSource();

// Renders the --help text from the command line's word file (src/cli/help.txt): its usage forms,
// description, option entries and exit statuses, options wrapped to a width of 96 columns.
QString renderCliHelp(const QString &source);

} // namespace zandrel
