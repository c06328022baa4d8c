#pragma once
// The console and the windows as surfaces, and the rules that decide which
// window is active. The headless and the interactive platform differ only in
// where typed lines and clicks come from and whether the surfaces are shown.

#include <QString>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/surface.h"
#include "results/beat.h"
#include "results/selection.h"
#include "runtime/files.h"
#include "runtime/platform.h"

namespace ba {

// Key state reported with a click: the button that is held down.
inline constexpr int key_left_button = 1;
inline constexpr int key_right_button = 2;

class SurfacePlatform : public Platform, public SelectionListener {
 public:
  SurfacePlatform() = default;

  // Window units: opening one makes it active; a line read from or written
  // to one makes it active (the program calls activate_window for those);
  // the console never changes the active window. Before any window is open
  // the console is the active window.
  void open_window(int unit) override;
  void close_window(int unit) override;
  void activate_window(int unit) override;
  void put_line(int unit, const std::string& utf8_line) override;

  void clear_window() override;
  void set_background_rgb(std::uint32_t colour) override;
  void set_colour_rgb(std::uint32_t colour) override;
  void set_colour_index(int palette_index) override;
  void init_fonts() override {}
  void set_font(const std::string& descriptor) override;
  void move_to(int x, int y) override;
  void line_to(int x, int y) override;
  void draw_text(const std::string& utf8) override;
  std::optional<std::string> bmp_image(int x1, int y1, int x2, int y2) override;
  void set_crosshair_cursor() override;
  // The selection a c or v command leaves, in time order, for the QRST map.
  void selection_measured(const std::vector<ResultBeat>& beats) override;
  void selection_leads_measured(const std::vector<BeatLeads>& beats) override {
    measured_leads_ = beats;
  }

  // The beats of the last c or v command, as the QRST map reads them.
  const std::vector<ResultBeat>& measured_beats() const { return measured_; }
  // Their per-lead measures, for the maps of the other kinds.
  const std::vector<BeatLeads>& measured_leads() const { return measured_leads_; }

  int active_unit() const { return active_; }
  bool is_open(int unit) const;
  bool crosshair() const { return crosshair_; }
  // The console's surface or a window's, open or already closed.
  Surface& surface(int unit);
  // Window units in the order they were first opened.
  const std::vector<int>& window_units() const { return opening_order_; }

  // Saves every surface as PNG into `folder` (created when missing):
  // console.png and unitN.png for every window ever opened, each written
  // whole through `files` (a link in place of one is replaced, never
  // followed). Returns an error text on failure.
  std::optional<std::string> save_snapshots(const std::filesystem::path& folder, FileOps& files);

 protected:
  // The unit's surface; the unit must be the console or an open window.
  Surface& open_surface(int unit);

  // What the interactive platform shows; the headless one prints lines.
  virtual void window_opened(int /*unit*/) {}
  virtual void window_closed(int /*unit*/) {}
  virtual void window_activated(int /*unit*/) {}
  virtual void line_shown(int /*unit*/, const std::string& /*utf8_line*/) {}
  virtual void measured_beats_changed() {}

 private:
  struct Window {
    std::unique_ptr<Surface> surface;
    bool open = false;
  };

  Surface console_;
  std::map<int, Window> windows_;
  std::vector<int> opening_order_;
  std::vector<int> open_stack_;  // open windows, most recently active last
  int active_ = console_unit;
  bool crosshair_ = false;
  std::vector<ResultBeat> measured_;
  std::vector<BeatLeads> measured_leads_;
};

// A host path as Qt names it.
QString host_qstring(const std::string& host_path);

}  // namespace ba
