#pragma once
// The log file (NAMEstlog.txt): the word that opens each record and the
// items each record holds, for the commands that write it and for the
// reader that takes it back apart. A record is one list-directed output
// line; the item types fix the widths of its numbers.

#include <array>
#include <cstdint>
#include <string_view>

namespace ba {

class Io;

namespace log_format {

// "k=" k "r=" coefficient ";  time_dif" shift position: one recognition
// candidate; position is the aligned R time, 0 when rejected.
inline constexpr std::string_view candidate_word = "k=";
inline constexpr std::string_view coefficient_word = "r=";
inline constexpr char shift_separator = ';';
inline constexpr std::string_view shift_word = "time_dif";
// "selected time" window_start: the reference beat's window start (R - 200).
inline constexpr std::string_view selected_time_word = "selected time";
// "left out time" r: a beat whose fiducial points fall outside the recording.
inline constexpr std::string_view left_out_word = "left out time";
// "print on time" r n and "off_x" x "off_y" y: a printed beat and where
// its strip goes on the page.
inline constexpr std::string_view print_on_word = "print on time";
inline constexpr std::string_view off_x_word = "off_x";
inline constexpr std::string_view off_y_word = "off_y";

// The words a record of the log may start with.
inline constexpr std::array<std::string_view, 5> record_words = {
    candidate_word, selected_time_word, left_out_word, print_on_word, off_x_word};

void write_candidate(Io& io, std::int32_t k, float coefficient, std::int32_t shift,
                     std::int16_t position);
void write_selected_time(Io& io, std::int32_t window_start);
void write_left_out(Io& io, std::int32_t r);
void write_print_on(Io& io, std::int16_t r, std::int32_t n_accepted, std::int16_t off_x,
                    std::int16_t off_y);

}  // namespace log_format
}  // namespace ba
