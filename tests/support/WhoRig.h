#pragma once

#include "Recorders.h"
#include "ScriptedWhoisServer.h"
#include "Tables.h"
#include "app/WhoController.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

namespace zandrel::test {

// Moves a test program into a temporary working folder while it lives, so that a relative path a
// test reaches writes nothing in the folder the program was started from.
class TemporaryWorkFolder
{
public:
    TemporaryWorkFolder() { QDir::setCurrent(m_dir.path()); }
    ~TemporaryWorkFolder() { QDir::setCurrent(m_before); }
    // Whether the tests left the folder as they found it.
    bool isEmpty() const
    {
        return QDir(m_dir.path())
            .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

private:
    QString m_before = QDir::currentPath();
    QTemporaryDir m_dir;
};

// The procedures wired to stand-ins: settings in a temporary folder, the program "installed" in
// another, a recording launcher and clipboard, a fixed clock, and a scripted WHOIS server.
struct WhoRig
{
    QTemporaryDir configDir, programDir, cacheDir;
    QTemporaryDir dataDir; // the run journals
    ScriptedWhoisServer server;
    // The --server option of the next start; every lookup goes to the scripted server by default.
    QString serverOption = server.address();
    Protocol protocol = Protocol::Auto; // the --protocol option of the next start
    SettingsStore settings {configDir.path()};
    RecordingLauncher launcher;
    RecordingClipboard clipboard;
    FixedClock clock {QDateTime(QDate(2000, 12, 31), QTime(22, 15, 0))};
    std::unique_ptr<WhoController> who;
    QStringList captions;
    LookupRecord lastRecord; // the last lookup the session committed, of a search or a single lookup

    WhoRig() { start(); }

    QString programFolder; // where the program is installed; empty: programDir
    AppInfo app() const
    {
        return {.folder = programFolder.isEmpty() ? programDir.path() : programFolder,
                .executableName = QStringLiteral("zandrel")};
    }

    // Starts the program (again), as a user would after closing it. The RDAP bootstrap is refreshed
    // from 127.0.0.1 (a refused port) unless a test says otherwise, so no test reaches the Internet.
    void start()
    {
        who.reset();
        const QString servers = QStringLiteral("Servers"), bootstrap = QStringLiteral("rdap-bootstrap");
        if (!settings.contains(app().title, servers, bootstrap))
            settings.setValue(app().title, servers, bootstrap, QStringLiteral("http://127.0.0.1:1/dns.json"));
        captions.clear();
        who = std::make_unique<WhoController>(Services {settings, launcher, clipboard, clock, app(),
                                                        serverOption, cacheDir.path(), protocol,
                                                        dataDir.path(), dataDir.path()});
        who->session().router().limits() = {.idleMs = 2000, .totalMs = 5000};
        who->session().request().stopGraceMs = 2000;
        QObject::connect(&who->state().caption, &TextBox::changed, who.get(),
                         [this](const QString &caption) { captions << caption; });
        QObject::connect(&who->session(), &SearchSession::committed, who.get(),
                         [this](const LookupRecord &record) { lastRecord = record; });
    }

    WhoState &state() { return who->state(); }

    // Writes `name` in the program's folder (or at `name`, when absolute) and returns its path.
    QString writeFile(const QString &name, const QByteArray &content) const
    {
        const QString path = QDir(programDir.path()).filePath(name);
        writeAll(path, content);
        return path;
    }

    // Word-list files for the next start-up to load.
    void useWordLists(const QByteArray &prefixes, const QByteArray &suffixes)
    {
        using namespace Qt::StringLiterals;
        settings.setValue(app().description, u"Settings"_s, u"PrefixPath"_s, writeFile(u"p.txt"_s, prefixes));
        settings.setValue(app().description, u"Settings"_s, u"SuffixPath"_s, writeFile(u"s.txt"_s, suffixes));
    }

    // What the program asked of the desktop, by kind: "open TARGET", "start PROGRAM|ARGUMENT…" and
    // "copy TEXT", joined by "; ", with the program's folder written "%p".
    QString asked() const
    {
        QStringList asked;
        for (const QString &target : launcher.opened)
            asked << QStringLiteral("open ") + target;
        for (const auto &[program, arguments] : launcher.started)
            asked << QStringLiteral("start ") + (QStringList {program} + arguments).join(u'|');
        for (const QString &text : clipboard.texts)
            asked << QStringLiteral("copy ") + text;
        return asked.join(QStringLiteral("; ")).replace(programDir.path(), QStringLiteral("%p"));
    }

    // Does `action` and waits until the search it started has ended.
    bool runToEnd(const std::function<void()> &action)
    {
        QSignalSpy ended(who.get(), &WhoController::searchEnded);
        action();
        return !ended.isEmpty() || ended.wait(20000);
    }

    // Clicks "&Search" and waits until the response is harvested.
    bool lookUp()
    {
        return runToEnd([this] { who->bLookUp_Click(); });
    }

    // Runs a combination search to its end.
    bool searchCombinations()
    {
        return runToEnd([this] { who->SearchCombinations_Click(); });
    }
};

} // namespace zandrel::test
