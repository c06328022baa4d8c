#pragma once
// The one-word answers typed in the graphics window: the main menu, the
// fiducial menu and every yes/no question.

#include <string>

namespace ba {

class Io;

inline constexpr int answer_len = 10;

struct MenuState {
  std::string answer = std::string(answer_len, ' ');  // last answer in the graphics window
};

// Reads a one-word answer from the graphics window into menu.answer.
void read_answer(MenuState& menu, Io& io);
// True when the answer is exactly the letter (either case), blank-padded.
bool answer_is(const std::string& answer, char lower_case_letter);

}  // namespace ba
