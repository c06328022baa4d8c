#pragma once
// The display set-up, the main loop with its dispatch of the commands s, c,
// v, d and x, and the exit sequence.

namespace ba {

class Io;
class SelectionListener;
struct ProgramState;

// Opens the first print page (printing on), the log file and the graphics
// window, writes the title line.
void display_setup(ProgramState& state, Io& io);
// The preview detection with its no-data test, the display geometry and the
// main loop, until x (or no data) runs the exit sequence. Every selection c
// or v leaves is handed to `listener`.
void run_main_loop(ProgramState& state, Io& io, SelectionListener& listener);

}  // namespace ba
