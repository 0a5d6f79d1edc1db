// The command line: counter number, \\machine, -t, -?, and for this run only
// the window's position (@x,y) and size (+w,h).
#pragma once

namespace app {

struct CommandLineResult {
    bool exitRequested = false;
    int exitCode = 0;
};

// Reads arguments[1..count-1] (arguments[0] is the program) into the view's
// counter, tree mode, window rectangle and connection. Shows the usage and
// invalid-argument boxes; the caller ends the process when asked to.
CommandLineResult ParseArguments(int count, wchar_t** arguments);

// ParseArguments on the process's own command line; ends the process when an
// argument says so.
void ParseCommandLine();

} // namespace app
