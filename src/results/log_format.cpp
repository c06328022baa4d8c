#include "results/log_format.h"

#include <string>

#include "runtime/io.h"

namespace ba::log_format {

namespace {

std::string text(std::string_view word) { return std::string(word); }

}  // namespace

void write_candidate(Io& io, std::int32_t k, float coefficient, std::int32_t shift,
                     std::int16_t position) {
  // Two blanks between the separator and the shift's word.
  io.write_line(log_unit,
                {text(candidate_word), k, text(coefficient_word), coefficient,
                 std::string(1, shift_separator) + "  " + text(shift_word), shift, position});
}

void write_selected_time(Io& io, std::int32_t window_start) {
  io.write_line(log_unit, {text(selected_time_word), window_start});
}

void write_left_out(Io& io, std::int32_t r) { io.write_line(log_unit, {text(left_out_word), r}); }

void write_print_on(Io& io, std::int16_t r, std::int32_t n_accepted, std::int16_t off_x,
                    std::int16_t off_y) {
  io.write_line(log_unit, {text(print_on_word), r, n_accepted});
  io.write_line(log_unit, {text(off_x_word), off_x, text(off_y_word), off_y});
}

}  // namespace ba::log_format
