#pragma once

#include <QString>
#include <QStringList>

namespace zandrel {

// Starts other programs without waiting for them. Never goes through a shell: every argument
// reaches the program whole.
class Launcher
{
public:
    virtual ~Launcher() = default;
    // Opens a web address, a file or a folder in the desktop's default program.
    virtual bool open(const QString &target) = 0;
    // Starts a program with its arguments.
    virtual bool start(const QString &program, const QStringList &arguments) = 0;
};

// The desktop's own opener (xdg-open, as Qt's desktop services use) and QProcess.
class ProcessLauncher : public Launcher
{
public:
    bool open(const QString &target) override;
    bool start(const QString &program, const QStringList &arguments) override;
};

// The program ProcessLauncher::open() starts: xdg-open on Linux and the BSDs.
QString openerProgram();

// Why `program` did not start when it is not there (not on the PATH, or no such file), naming it
// and, for one of a known package, how to get it: "\"xdg-open\" is not installed (apt install
// xdg-utils)"; empty when it is there.
QString missingProgram(const QString &program);

// Splits a command line into words the way a shell would (quotes and backslashes),
// without running a shell.
QStringList splitCommandLine(const QString &command);

} // namespace zandrel
