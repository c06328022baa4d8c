#include "platform/surface_platform.h"

#include <QFile>
#include <algorithm>
#include <stdexcept>

namespace ba {

QString host_qstring(const std::string& host_path) {
  return QFile::decodeName(QByteArray::fromStdString(host_path));
}

namespace {

[[noreturn]] void not_open(int unit) {
  throw std::logic_error("unit " + std::to_string(unit) + " is not an open window");
}

}  // namespace

bool SurfacePlatform::is_open(int unit) const {
  auto found = windows_.find(unit);
  return found != windows_.end() && found->second.open;
}

Surface& SurfacePlatform::surface(int unit) {
  if (unit == console_unit) return console_;
  auto found = windows_.find(unit);
  if (found == windows_.end()) not_open(unit);
  return *found->second.surface;
}

Surface& SurfacePlatform::open_surface(int unit) {
  if (unit != console_unit && !is_open(unit)) not_open(unit);
  return surface(unit);
}

void SurfacePlatform::open_window(int unit) {
  if (unit == console_unit) throw std::logic_error("the console cannot be opened as a window");
  Window& window = windows_[unit];
  if (!window.surface) opening_order_.push_back(unit);
  // Opening a unit again starts a fresh window.
  window.surface = std::make_unique<Surface>();
  window.open = true;
  std::erase(open_stack_, unit);
  open_stack_.push_back(unit);
  active_ = unit;
  window_opened(unit);
}

void SurfacePlatform::close_window(int unit) {
  if (!is_open(unit)) not_open(unit);
  windows_[unit].open = false;
  std::erase(open_stack_, unit);
  if (active_ == unit) active_ = open_stack_.empty() ? console_unit : open_stack_.back();
  window_closed(unit);
}

void SurfacePlatform::activate_window(int unit) {
  if (unit == console_unit) return;
  if (!is_open(unit)) not_open(unit);
  std::erase(open_stack_, unit);
  open_stack_.push_back(unit);
  active_ = unit;
  window_activated(unit);
}

void SurfacePlatform::put_line(int unit, const std::string& utf8_line) {
  open_surface(unit).put_line(QString::fromUtf8(utf8_line));
  line_shown(unit, utf8_line);
}

void SurfacePlatform::selection_measured(const std::vector<ResultBeat>& beats) {
  measured_ = beats;
  measured_beats_changed();
}

void SurfacePlatform::clear_window() { surface(active_).clear(); }

void SurfacePlatform::set_background_rgb(std::uint32_t colour) {
  surface(active_).set_background_rgb(colour);
}

void SurfacePlatform::set_colour_rgb(std::uint32_t colour) {
  surface(active_).set_colour_rgb(colour);
}

void SurfacePlatform::set_colour_index(int palette_index) {
  surface(active_).set_colour_index(palette_index);
}

void SurfacePlatform::set_font(const std::string& descriptor) {
  surface(active_).set_font(descriptor);
}

void SurfacePlatform::move_to(int x, int y) { surface(active_).move_to(x, y); }

void SurfacePlatform::line_to(int x, int y) { surface(active_).line_to(x, y); }

void SurfacePlatform::draw_text(const std::string& utf8) { surface(active_).draw_text(utf8); }

std::optional<std::string> SurfacePlatform::bmp_image(int x1, int y1, int x2, int y2) {
  return surface(active_).bmp_bytes(x1, y1, x2, y2);
}

void SurfacePlatform::set_crosshair_cursor() { crosshair_ = true; }

std::optional<std::string> SurfacePlatform::save_snapshots(const std::filesystem::path& folder,
                                                           FileOps& files) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return "cannot create " + folder.string() + ": " + error.message();
  auto save = [&](Surface& surface, const std::string& name) -> std::optional<std::string> {
    const std::filesystem::path path = folder / name;
    const std::optional<std::string> bytes = surface.png_bytes();
    if (!bytes) return "cannot write " + path.string();
    if (auto error = files.replace_file(path, *bytes))
      return "cannot write " + path.string() + ": " + *error;
    return std::nullopt;
  };
  if (auto failed = save(console_, "console.png")) return failed;
  for (int unit : opening_order_)
    if (auto failed = save(*windows_[unit].surface, "unit" + std::to_string(unit) + ".png"))
      return failed;
  return std::nullopt;
}

}  // namespace ba
