#include "interchange/log_reader.h"

#include <limits>
#include <string_view>

#include "results/beat.h"
#include "results/log_format.h"
#include "runtime/quoting.h"
#include "runtime/text_kit.h"
#include "runtime/text_lines.h"

namespace ba {

namespace {

using log_format::candidate_word;
using log_format::coefficient_word;
using log_format::shift_separator;
using log_format::shift_word;

// The whole numbers of a text separated by blanks, or nothing when a word is
// not one.
std::optional<std::vector<std::int32_t>> numbers(std::string_view text) {
  std::vector<std::int32_t> values;
  for (text = trimmed(text); !text.empty(); text = trimmed(text)) {
    std::size_t end = text.find_first_of(" \t");
    if (end == std::string_view::npos) end = text.size();
    const auto value = parse_int32(text.substr(0, end));
    if (!value) return std::nullopt;
    values.push_back(*value);
    text.remove_prefix(end);
  }
  return values;
}

class LogParser {
 public:
  LogAudit parse(std::string_view text) {
    TextLines lines(text);
    while (const auto line = lines.next()) {
      line_ = static_cast<int>(lines.number());
      if (auto reason = take(trimmed(*line))) return LineFault{line_, *reason};
    }
    return std::move(records_);
  }

 private:
  // Reads one record; returns why the line is not one.
  std::optional<std::string> take(std::string_view line) {
    if (line.empty()) return std::nullopt;
    if (line.starts_with(candidate_word)) return take_candidate(line.substr(candidate_word.size()));
    if (auto values = after(line, log_format::selected_time_word, 1)) {
      const std::int32_t selected = (*values)[0];
      if (selected > std::numeric_limits<std::int32_t>::max() - r_peak_index)
        return "selected time " + std::to_string(selected) + " lies beyond any recording";
      reference_ms_ = selected + r_peak_index;
      return std::nullopt;
    }
    if (auto values = after(line, log_format::left_out_word, 1)) return mark_left_out((*values)[0]);
    if (after(line, log_format::print_on_word, 2) || line.starts_with(log_format::off_x_word))
      return std::nullopt;
    return quote_word(line, 30) + " is not a record of the log";
  }

  // The numbers after a record's word, when the line is that record.
  static std::optional<std::vector<std::int32_t>> after(std::string_view line,
                                                        std::string_view word, std::size_t count) {
    if (!line.starts_with(word)) return std::nullopt;
    auto values = numbers(line.substr(word.size()));
    if (!values || values->size() != count) return std::nullopt;
    return values;
  }

  // "k=" k "r=" coefficient ";  time_dif" shift position.
  std::optional<std::string> take_candidate(std::string_view rest) {
    const std::size_t r_at = rest.find(coefficient_word);
    const std::size_t semicolon = rest.find(shift_separator);
    const std::size_t shift_at = rest.find(shift_word);
    const std::string bad = "a k= record needs k, r=, ;  time_dif, the shift and the position";
    if (r_at == std::string_view::npos || semicolon == std::string_view::npos ||
        shift_at == std::string_view::npos || !(r_at < semicolon && semicolon < shift_at) ||
        !trimmed(rest.substr(semicolon + 1, shift_at - semicolon - 1)).empty())
      return bad;
    const auto k = numbers(rest.substr(0, r_at));
    const auto tail = numbers(rest.substr(shift_at + shift_word.size()));
    const std::string_view coefficient = trimmed(
        rest.substr(r_at + coefficient_word.size(), semicolon - r_at - coefficient_word.size()));
    if (!k || k->size() != 1 || !tail || tail->size() != 2 || !parse_float(coefficient)) return bad;
    const std::int32_t number = (*k)[0];
    if (number == 1) {
      ++run_;
    } else if (run_ == 0 || number != last_k_ + 1) {
      return "candidate k=" + std::to_string(number) + " follows " +
             (run_ == 0 ? std::string("no k=1") : "k=" + std::to_string(last_k_)) +
             " (a record is missing)";
    }
    last_k_ = number;
    run_start_ = number == 1 ? records_.size() : run_start_;
    const std::int32_t aligned = (*tail)[1];
    records_.push_back({run_, reference_ms_, number, std::string(coefficient), (*tail)[0], aligned,
                        aligned > 0 ? Verdict::accepted : Verdict::rejected});
    return std::nullopt;
  }

  std::optional<std::string> mark_left_out(std::int32_t r) {
    for (std::size_t i = run_start_; i < records_.size(); ++i)
      if (records_[i].aligned_ms == r && records_[i].verdict == Verdict::accepted) {
        records_[i].verdict = Verdict::left_out;
        return std::nullopt;
      }
    return "left out time " + std::to_string(r) + " is no accepted beat of the run before it";
  }

  std::vector<CandidateRecord> records_;
  std::optional<std::int32_t> reference_ms_;
  int line_ = 0;
  int run_ = 0;
  std::int32_t last_k_ = 0;
  std::size_t run_start_ = 0;
};

}  // namespace

LogAudit read_log_audit(std::string_view text) { return LogParser().parse(text); }

bool looks_like_log(std::string_view text) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    // Blanks and a CR line end trimmed.
    const std::string_view first = trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (first.empty()) continue;
    for (std::string_view word : log_format::record_words)
      if (first.starts_with(word)) return true;
    return false;
  }
  return true;
}

}  // namespace ba
