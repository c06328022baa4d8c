#pragma once
// The display set-up, the main menu loop and the exit sequence.

namespace ba {

class Io;
struct ProgramState;

// Opens the first print page (printing on), the log file and the graphics
// window, writes the title line.
void display_setup(ProgramState& state, Io& io);
// The preview detection with its no-data test, the display geometry and the
// main loop, until x (or no data) runs the exit sequence.
void run_display(ProgramState& state, Io& io);

}  // namespace ba
