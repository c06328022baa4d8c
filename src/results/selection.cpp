#include "results/selection.h"

namespace ba {

void clear_selection(Selection& selection) {
  selection.accepted_beats.fill(0);
  selection.aqrst.fill(0);
  selection.n_accepted = 0;
  selection.source = SelectionSource{};
  selection.lead_measures.clear();
}

std::vector<ResultBeat> selected_beats(const Selection& selection) {
  std::vector<ResultBeat> beats(static_cast<std::size_t>(selection.n_accepted));
  for (int k = 1; k <= selection.n_accepted; ++k) {
    ResultBeat& beat = beats[static_cast<std::size_t>(k - 1)];
    beat.r_ms = selection.accepted_beats(k);
    for (int n = 1; n <= lead_point_count; ++n) beat.areas(n) = selection.aqrst(n, k);
  }
  return beats;
}

}  // namespace ba
