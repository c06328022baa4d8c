#pragma once
// The display set-up, the main menu loop and the exit sequence.

#include <string>

namespace ba {

class Io;
struct ProgramState;

inline constexpr int answer_len = 10;

struct MenuState {
  std::string answer = std::string(answer_len, ' ');  // last answer in the graphics window
};

// Opens the first print page (printing on), the log file and the graphics
// window, writes the title line.
void display_setup(ProgramState& state, Io& io);
// The preview detection with its no-data test, the display geometry and the
// main loop, until x (or no data) runs the exit sequence.
void run_display(ProgramState& state, Io& io);
// Reads a one-word answer from the graphics window into state.menu.answer.
void read_answer(ProgramState& state, Io& io);
// True when the answer is exactly the letter (either case), blank-padded.
bool answer_is(const std::string& answer, char lower_case_letter);

}  // namespace ba
