#pragma once

namespace zandrel {

// Opens the window and runs it until it is closed; returns the program's exit status.
int runWindow(int argc, char *argv[]);

} // namespace zandrel
