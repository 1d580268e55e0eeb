#pragma once

#include "platform/AppInfo.h"
#include "verdict/ServerTable.h"

#include <QString>

namespace zandrel {

class Clipboard;
class Clock;
class Launcher;
class SettingsStore;

// What the procedures need of the desktop; tests put stand-ins in.
struct Services
{
    SettingsStore &settings;
    Launcher &launcher;
    Clipboard &clipboard;
    Clock &clock;
    AppInfo app;
    // The --server option: every lookup goes there. When empty, the [Servers] section, the
    // "WhoisServer" setting, then the registry's own server for the name's TLD.
    QString serverOverride;
    // Where servers learnt from IANA are kept between runs; empty: the user's cache folder.
    QString cacheFolder;
    // The --protocol option.
    Protocol protocol = Protocol::Auto;
    // Where the journals of combination searches are kept; empty: the user's data folder.
    QString journalFolder;
    // Where the counts over windows are kept between runs with the learned pace; empty: the user's
    // state folder.
    QString stateFolder;
};

} // namespace zandrel
