// Placeholder until the computation is written.
#include "compute/compute.h"
#include "dialogue/program_state.h"
namespace ba {
void compute_all(ProgramState&, Io&) {}
void measure_accepted_beats(ProgramState&) {}
std::int32_t scaled_area(std::int32_t area_sum) { return area_sum / 200; }
void page_setup(ProgramState&, Io&) {}
void print_beat(ProgramState&, Io&, std::int32_t) {}
void final_page(ProgramState&, Io&) {}
}  // namespace ba
