#pragma once
// The program unit: start-up of the desktop program.

namespace quadrel {

// Initialises the application, binds the writers' libraries, creates the main
// window and the hidden about box, and runs the event loop until the main window
// is closed. Returns the program's exit code.
int RunQuadrel(int argc, char** argv);

} // namespace quadrel
