#include "dialogue/answer.h"

#include "runtime/io.h"

namespace ba {

void read_answer(MenuState& menu, Io& io) {
  menu.answer = io.read_free_text(graphics_unit, answer_len);
}

bool answer_is(const std::string& answer, char lower_case_letter) {
  const std::string padding(answer_len - 1, ' ');
  const char upper_case_letter = static_cast<char>(lower_case_letter - 'a' + 'A');
  return answer == std::string(1, lower_case_letter) + padding ||
         answer == std::string(1, upper_case_letter) + padding;
}

}  // namespace ba
