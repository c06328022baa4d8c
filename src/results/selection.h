#pragma once
// The selection: the accepted beats of the last v or c command and their
// QRST areas, saved and emptied by command d.

#include <cstdint>
#include <string>
#include <vector>

#include "recording/recording.h"
#include "results/analysis_record.h"
#include "results/beat.h"
#include "results/lead_table.h"
#include "runtime/one_based.h"

namespace ba {

class MarkingListener;

inline constexpr int selection_room = 200;

struct Selection {
  std::int32_t n_accepted = 0;
  Array1<std::int32_t, selection_room> accepted_beats;            // R positions, time order
  Matrix1<std::int32_t, lead_point_count, selection_room> aqrst;  // (lead, beat)
  SelectionSource source;                // what the c or v command that filled it used
  std::vector<BeatLeads> lead_measures;  // per accepted beat, in the same order
};

// Empties the selection: all 200 entries of accepted_beats and aqrst,
// n_accepted and its source.
void clear_selection(Selection& selection);

// The accepted beats with their areas, in time order.
std::vector<ResultBeat> selected_beats(const Selection& selection);

// What command d did with the selection: written to the result file and
// emptied, emptied unsaved at any answer but y, or kept because the result
// file could not be written.
enum class SaveOutcome { saved, declined, failed };

// Told of every selection a c or v command leaves (the window mode's QRST
// map shows it); the program itself shows nothing of it there.
class SelectionListener {
 public:
  virtual ~SelectionListener() = default;
  virtual void selection_measured(const std::vector<ResultBeat>& beats) = 0;
  // Told before selection_measured: the per-lead measures of the same
  // beats, in the same order.
  virtual void selection_leads_measured(const std::vector<BeatLeads>& /*beats*/) {}
  // Told just before selection_measured: the recording's name, and whether
  // the fiducial points were marked (when they were not, or the T end lies
  // before the Q start, every area is 0 and the listener may say why).
  virtual void selection_described(const std::string& /*recording_name*/, bool /*points_marked*/) {}
  // Told after every d: what became of its `beats` beats, and the result
  // file as the program names it (d:\data\map\NAMEst.txt).
  virtual void selection_saved(SaveOutcome /*outcome*/, int /*beats*/,
                               const std::string& /*result_path*/) {}
  // Told of the fiducial marking, when it wants to be.
  virtual MarkingListener* marking_listener() { return nullptr; }
};

}  // namespace ba
