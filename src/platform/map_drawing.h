#pragma once
// Painting a map picture (map/picture.h) with Qt, and saving it as PNG, SVG
// or PDF. Everything the picture shows is decided below Qt; this only draws
// it: the field raster as an image, the rest as vector drawing on top, so
// SVG and PDF keep it sharp.

#include <QPainter>
#include <QSize>
#include <optional>
#include <string>

#include "map/page.h"
#include "map/picture.h"
#include "runtime/files.h"

namespace ba {

inline const QSize default_map_size(default_map_width, default_map_height);  // pixels

// The map's words in the language of the installed translators.
Wording map_wording();

void paint_map_picture(QPainter& painter, const MapPicture& picture);
// The parts of a picture one by one, for pages that place their own.
void paint_page_text(QPainter& painter, const PageText& text);
void paint_page_line(QPainter& painter, const PageLine& line);
void paint_page_dot(QPainter& painter, const PageDot& dot);
void paint_page_rect(QPainter& painter, const PageBox& box, const std::optional<Ink>& fill,
                     const std::optional<Ink>& outline);
// Composes and paints the whole page: title, map or sheet, colour bar.
void paint_map_page(QPainter& painter, QSize size, const MapPage& page,
                    const MapDrawOptions& options);
QImage map_image(const MapPage& page, QSize size, const MapDrawOptions& options);

// The bytes of the page as a PNG, SVG or PDF file by the extension of
// `host_path` (any case); nothing when the drawing fails.
std::optional<std::string> map_file_bytes(const std::string& host_path, const MapPage& page,
                                          QSize size, const MapDrawOptions& options);
// Writes the page to `host_path` whole or not at all through `files`.
// Returns an error text on failure, with nothing written.
std::optional<std::string> save_map_file(FileOps& files, const std::string& host_path,
                                         const MapPage& page, QSize size,
                                         const MapDrawOptions& options);

}  // namespace ba
