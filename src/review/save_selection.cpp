// Command d: the selection goes to the result file after a y/n question, and
// is emptied afterwards so that every selection is saved at most once.

#include <algorithm>
#include <string>

#include "dialogue/answer.h"
#include "dialogue/paths.h"
#include "results/lead_table.h"
#include "results/result_file.h"
#include "review/messages.h"
#include "review/review.h"
#include "runtime/io.h"

namespace ba {

namespace {

void report_save_failure(Io& io, const std::string& detail) {
  io.write_line(graphics_unit, {review_text::save_failed});
  io.write_line(console_unit, {review_text::save_failed});
  io.write_line(console_unit, {detail});
}

}  // namespace

SaveOutcome save_selection(Selection& selection, const RecordingPaths& paths, MenuState& menu,
                           Io& io) {
  io.write_line(graphics_unit,
                {review_text::selected_beats, selection.n_accepted, review_text::beats_suffix});
  io.write_line(graphics_unit,
                {review_text::data_prefix, paths.st_txt_path, review_text::save_question});
  read_answer(menu, io);
  // Only the single letter y or Y, blank-padded over all ten characters, saves.
  const bool saving = answer_is(menu.answer, 'y');
  if (saving) {
    // The file is replaced whole or not at all; on failure the selection
    // stays so the person can free the file and save again.
    const auto statements = result_statements(selection);
    if (auto failure = io.write_text_file(paths.st_txt_path, statements)) {
      report_save_failure(io, *failure);
      return SaveOutcome::failed;
    }
    io.write_line(graphics_unit, {review_text::saved});
    keep_lead_table(io, paths.st_txt_path, selection.lead_measures);
    const std::vector<std::int32_t> accepted(
        selection.accepted_beats.data(),
        selection.accepted_beats.data() + std::max<std::int32_t>(selection.n_accepted, 0));
    keep_analysis_record(io, paths.st_txt_path, paths.recording_path, selection.source, accepted,
                         statements);
  }
  clear_selection(selection);
  return saving ? SaveOutcome::saved : SaveOutcome::declined;
}

}  // namespace ba
