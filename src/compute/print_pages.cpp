// Print pages: every accepted beat of command c as a labelled strip of the
// first displayed lead, 4 rows by 8 columns per page, filled column by
// column; each full page is saved as a BMP image beside the recording.

#include <cstdint>
#include <span>

#include "compute/compute.h"
#include "compute/messages.h"
#include "dialogue/paths.h"
#include "display/plot.h"
#include "display/window_routines.h"
#include "results/log_format.h"
#include "runtime/io.h"

namespace ba {

namespace {

// Page geometry in pixels.
constexpr std::int16_t first_column = 50;  // off_x of the first column
constexpr std::int16_t first_row = 80;     // off_y of the first row
constexpr std::int16_t column_step = 105;
constexpr std::int16_t row_step = 110;
constexpr std::int16_t last_row_limit = 500;     // an off_y at or past it starts a column
constexpr std::int16_t last_column_limit = 800;  // an off_x at or past it turns the page
constexpr std::int16_t name_x = 10;
constexpr std::int16_t name_y = 10;
constexpr int page_x1 = 1, page_y1 = 1, page_x2 = 1000, page_y2 = 750;
constexpr int header_colour_index = 5;

// A failed save is said on the console and in the graphics window, with the
// file and the reason; the command goes on with the next beat. The failure
// lines leave the graphics window active, which matters to no one: a page
// turn opens the next page and the final save ends the command.
void save_page(const PrintState& print, const RecordingPaths& paths, Io& io) {
  const auto failure =
      io.save_image(image_path(paths, print.image_no), page_x1, page_y1, page_x2, page_y2);
  if (!failure) return;
  for (int unit : {console_unit, static_cast<int>(graphics_unit)}) {
    io.write_line(unit, {compute_text::page_save_failed});
    io.write_line(unit, {*failure});
  }
}

// Moves off_x/off_y to the next free strip, turning the page when all 32
// places are used.
void advance_grid(PrintState& print, const RecordingPaths& paths, Io& io) {
  if (print.off_y < last_row_limit) return;
  print.off_x = static_cast<std::int16_t>(print.off_x + column_step);
  print.off_y = first_row;
  if (print.off_x < last_column_limit) return;
  save_page(print, paths, io);
  print.image_no = print.image_no + 1;
  print.print_unit = static_cast<std::int16_t>(print.print_unit + 1);
  page_setup(print, paths, io);
}

// The 100 samples of the first displayed lead from R - 50 to R + 49, 0 outside
// the recording, clipped to +-1800 so a strip keeps within 56 pixels of its
// zero line.
void fill_strip(const SampleMatrix& sample_matrix, std::int16_t first_lead, std::int32_t r,
                PrintState& print) {
  for (long i = 1; i <= strip_samples; ++i) {
    const std::int32_t p = r + static_cast<std::int32_t>(i) - 51;
    std::int16_t value = 0;
    if (p > 0 && p <= recorded_samples) value = sample_matrix(first_lead, p);
    if (value >= strip_clip) value = strip_clip;
    if (value <= -strip_clip) value = -strip_clip;
    print.strip(i) = value;
  }
}

}  // namespace

void page_setup(PrintState& print, const RecordingPaths& paths, Io& io) {
  CHART_FEED(io, print.print_unit);
  Platform& platform = io.platform();
  platform.init_fonts();
  platform.set_font(compute_text::page_font);
  platform.set_colour_index(header_colour_index);
  PABS(platform, name_x, name_y);
  platform.draw_text(paths.recording_name);
  print.off_x = first_column;
  print.off_y = first_row;
}

void print_beat(const ComputeContext& c, Io& io, std::int32_t r) {
  PrintState& print = c.print;
  const auto r16 = static_cast<std::int16_t>(r);
  log_format::write_print_on(io, r16, c.selection.n_accepted, print.off_x, print.off_y);
  // An empty line makes the print page the active window for the drawing.
  io.write_line(print.print_unit, std::span<const Item>{});
  advance_grid(print, c.paths, io);
  LEADWR(io, print.off_x, print.off_y, r16, 0);
  fill_strip(c.recording.sample_matrix, c.conditions.first_lead, r, print);
  WAVEWRITE(io.platform(), print.off_x, print.off_y, print.strip.data(), 1);
  print.off_y = static_cast<std::int16_t>(print.off_y + row_step);
}

void final_page(const PrintState& print, const RecordingPaths& paths, Io& io) {
  save_page(print, paths, io);
}

}  // namespace ba
