#pragma once
// The analysis conditions settled by the start-up dialogue.

#include <cstdint>

namespace ba {

class Io;

struct AnalysisConditions {
  // Channels of the sample matrix shown as traces 1..3 (leads 13, 23, 37).
  std::int16_t first_lead = 21;
  std::int16_t second_lead = 31;
  std::int16_t third_lead = 45;
  float corr_threshold = 0.95f;  // waveform-recognition correlation threshold
  float r_ratio = 0.5f;          // differentiated R wave amplitude ratio, largest = 1
  std::int32_t print_flag = 1;   // only 1 means print the accepted beats
};

// Prints the banner and the default conditions and asks for changes on the
// console.
void run_startup_dialogue(Io& io, AnalysisConditions& conditions);

}  // namespace ba
