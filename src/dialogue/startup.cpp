#include <array>
#include <string>

#include "dialogue/conditions.h"
#include "dialogue/messages.h"
#include "recording/recording.h"
#include "runtime/io.h"

namespace ba {

namespace {

// Widths (characters) of the typed answer fields.
constexpr int yes_no_width = 3;
constexpr int lead_width = 3;
constexpr int fraction_width = 4;
constexpr int fraction_decimals = 2;  // typing 95 means 0.95
constexpr int print_flag_width = 2;

void say(Io& io, std::string_view text) { io.write_line(console_unit, {std::string(text)}); }

// Only an answer of exactly 1 means yes; 0, any other number and an empty
// line mean no.
bool ask_yes(Io& io, std::string_view question) {
  say(io, question);
  const std::int32_t yes_no = io.read_field_whole(console_unit, yes_no_width);
  return yes_no == 1;
}

void write_banner(Io& io) {
  for (std::string_view line : {dialogue_text::banner_rule, dialogue_text::banner_purpose_1,
                                dialogue_text::banner_purpose_2, dialogue_text::banner_check_1,
                                dialogue_text::banner_check_2, dialogue_text::banner_rule})
    say(io, line);
}

// Shown before any change, so always the start values.
void write_default_conditions(Io& io) {
  for (std::string_view line : {dialogue_text::default_leads, dialogue_text::default_threshold,
                                dialogue_text::default_ratio, dialogue_text::default_printing})
    say(io, line);
  io.write_line(console_unit, {});
}

std::int16_t ask_lead(Io& io, std::string_view prompt) {
  say(io, prompt);
  return static_cast<std::int16_t>(io.read_field_whole(console_unit, lead_width));
}

// The channel of a lead must exist in the sample matrix (channels 1..72,
// leads -7..64); every later use takes it as a channel without a check.
bool lead_in_recording(std::int16_t lead) {
  const int channel = lead + lead_channel_offset;
  return channel >= 1 && channel <= channel_count;
}

// Asks the three leads until all of them name channels of the recording;
// each bad lead is named before the three are asked again.
void ask_leads(Io& io, AnalysisConditions& conditions) {
  for (;;) {
    const std::array<std::int16_t, 3> leads = {ask_lead(io, dialogue_text::enter_first_lead),
                                               ask_lead(io, dialogue_text::enter_second_lead),
                                               ask_lead(io, dialogue_text::enter_third_lead)};
    bool all_in_recording = true;
    for (std::int16_t lead : leads) {
      if (lead_in_recording(lead)) continue;
      all_in_recording = false;
      say(io, std::string(dialogue_text::bad_lead_before) + std::to_string(lead) +
                  std::string(dialogue_text::bad_lead_after));
    }
    if (all_in_recording) {
      conditions.first_lead = static_cast<std::int16_t>(leads[0] + lead_channel_offset);
      conditions.second_lead = static_cast<std::int16_t>(leads[1] + lead_channel_offset);
      conditions.third_lead = static_cast<std::int16_t>(leads[2] + lead_channel_offset);
      return;
    }
    say(io, dialogue_text::leads_again);
  }
}

// One real condition: keep it or type a new one; its value is echoed either way.
void settle_fraction(Io& io, std::string_view question, std::string_view prompt,
                     std::string_view echo, float& value) {
  io.clear_window();
  if (!ask_yes(io, question)) {
    say(io, prompt);
    value = io.read_field_real(console_unit, fraction_width, fraction_decimals);
  }
  io.write_line(console_unit, {std::string(echo), value});
}

// The typed number itself is kept: only 1 means print.
void settle_printing(Io& io, AnalysisConditions& conditions) {
  io.clear_window();
  say(io, dialogue_text::print_question);
  conditions.print_flag = io.read_field_whole(console_unit, print_flag_width);
  say(io, conditions.print_flag == 1 ? dialogue_text::print_on : dialogue_text::print_off);
}

}  // namespace

void run_startup_dialogue(Io& io, AnalysisConditions& conditions) {
  write_banner(io);
  conditions = AnalysisConditions{};
  write_default_conditions(io);
  if (!ask_yes(io, dialogue_text::conditions_ok)) {
    // Once the defaults are declined, every condition is asked in turn.
    io.clear_window();
    say(io, dialogue_text::leads_are);
    if (!ask_yes(io, dialogue_text::leads_ok)) ask_leads(io, conditions);
    settle_fraction(io, dialogue_text::threshold_ok, dialogue_text::enter_threshold,
                    dialogue_text::threshold_echo, conditions.corr_threshold);
    settle_fraction(io, dialogue_text::ratio_ok, dialogue_text::enter_ratio,
                    dialogue_text::ratio_echo, conditions.r_ratio);
    settle_printing(io, conditions);
  }
  io.clear_window();
}

}  // namespace ba
