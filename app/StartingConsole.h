#pragma once

// On Windows the window is a window program with no console of its own: its output (the help,
// the version, a start-up error, Qt's warnings) goes to the console it was started from, or to
// where its output is redirected, as on the other systems. Call first thing in main.
void UseStartingConsole();
