// Placeholder until the selection and marking are written.
#include "marking/marking.h"
#include "dialogue/program_state.h"
namespace ba {
void select_waveform(ProgramState&, Io&) {}
void fiducial_menu(ProgramState&, Io&) {}
std::int32_t click_sample(float, float, float) { return 0; }
std::int32_t nearest_beat(const Array1<std::int16_t, 200>&, std::int32_t, std::int32_t current) { return current; }
void draw_beat_wave(ProgramState&, Io&) {}
}  // namespace ba
