// The drawn map: the field's colour at every electrode is the colour scale's
// colour of that electrode's value; each kind of map looks as it did when
// its expected picture was approved; a failed write leaves nothing.

#include "platform/map_drawing.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "platform/translation.h"
#include "support/build_paths.h"
#include "support/temp_folder.h"

namespace ba {
namespace {

// Leads on a sheared, unevenly spaced 8 x 8 arrangement: not the regular
// grid, so the thin-plate spline draws it.
LeadLayout irregular_layout() {
  LeadLayout layout;
  for (int n = 1; n <= lead_point_count; ++n) {
    const int column = (n - 1) / grid_side, row = (n - 1) % grid_side;
    layout.leads(n).x = column * 1.5 + (column % 3) * 0.4 + row * 0.4;
    layout.leads(n).y = row * 1.7 + (column % 2) * 0.5;
    layout.leads(n).listed = true;
  }
  return layout;
}

// A saddle with a bump, so that no two neighbouring leads share a colour.
LeadValues curved_values() {
  LeadValues values;
  for (int n = 1; n <= lead_point_count; ++n) {
    const int column = (n - 1) / grid_side, row = (n - 1) % grid_side;
    values(n) = (column - 3.5) * (row - 3.5) * 3 + (n % 5) * 4 - 8;
  }
  return values;
}

TEST(MapDrawing, FieldAtEachElectrodeHasTheScaleColourOfItsValue) {
  struct Row {
    const char* label;
    LeadLayout layout;
    QSize size;
  };
  const Row rows[] = {{"default grid, 800x600", default_layout(), {800, 600}},
                      {"irregular layout, 640x900", irregular_layout(), {640, 900}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    MapPage page;
    page.layout = row.layout;
    page.frames = {{"", curved_values()}};
    page.limit = 40;
    page.step = 5;
    MapDrawOptions bare;
    bare.overlays = false;  // electrode dots would cover the pixels looked at
    const QImage image = map_image(page, row.size, bare);
    const MapPlacement placement = map_placement(page, row.size.width(), row.size.height());
    for (int n = 1; n <= lead_point_count; ++n) {
      const Electrode& e = row.layout.leads(n);
      const PagePoint at = placement.to_page(e.x, e.y);
      const QRgb seen = image.pixel(static_cast<int>(at.x), static_cast<int>(at.y));
      const std::uint32_t wanted = scale_colour(page.frames[0].values(n), page.limit);
      // Half a pixel from the electrode the field has moved a little; a
      // neighbouring lead's value would be tens of levels off.
      const int off = std::abs(qRed(seen) - static_cast<int>(wanted & 0xff)) +
                      std::abs(qGreen(seen) - static_cast<int>((wanted >> 8) & 0xff)) +
                      std::abs(qBlue(seen) - static_cast<int>((wanted >> 16) & 0xff));
      EXPECT_LE(off, 12) << "lead " << n << " at " << at.x << ", " << at.y;
    }
  }
}

// Twelve beats of a dipole turning a little from beat to beat, R times out
// of order in the file; lead 30 steady at 0.
std::vector<ResultBeat> turning_beats(double gain = 1) {
  std::vector<ResultBeat> beats;
  for (int b = 0; b < 12; ++b) {
    ResultBeat beat;
    beat.r_ms = 400 + 800 * ((b * 5) % 12);
    for (int n = 1; n <= lead_point_count; ++n) {
      const double column = (n - 1) / grid_side - 3.5, row = (n - 1) % grid_side - 3.5;
      const double turn = 0.05 * b;
      beat.areas(n) = static_cast<std::int32_t>(
          std::lround(gain * (300 * (column * std::cos(turn) - row * std::sin(turn)) +
                              40 * ((n * 7 + b * 3) % 5))));
    }
    beats.push_back(beat);
  }
  return beats;
}

LeadLayout layout_with_a_bad_lead() {
  LeadLayout layout = irregular_layout();
  layout.leads(20).bad = true;
  layout.leads(64).listed = false;
  for (int n = 1; n <= 8; ++n) layout.leads(n).label = "V" + std::to_string(n);
  return layout;
}

MapPage departure_page() {
  LeadDepartures z;
  for (int n = 1; n <= lead_point_count; ++n)
    if (n != 12) z(n) = 0.09 * (n - 32) + 1.5 * std::sin(n * 0.7);
  return std::get<MapPage>(make_departure_page(z, default_layout()));
}

// Pixels whose colour differs by more than a font's smoothing does.
int pixels_apart(const QImage& a, const QImage& b) {
  int apart = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      if (std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                    std::abs(qBlue(p) - qBlue(q))}) > 48)
        ++apart;
    }
  return apart;
}

// Each kind as approved by eye: BEAT_APPROVE_PICTURES=1 writes the pictures
// anew into tests/map/expected/ (look at them before committing).
TEST(MapDrawing, EachKindLooksAsApproved) {
  MapRequest mean, sd, beat, sheet;
  sd.kind = MapKind::sd;
  beat.kind = MapKind::beat;
  beat.beat = 3;
  sheet.kind = MapKind::sheet;
  sheet.most_frames = sheet_capacity(400, 300);
  MapDrawOptions plain, no_labels;
  no_labels.lead_labels = false;
  const std::vector<ResultBeat> beats = turning_beats();
  struct Row {
    const char* name;
    MapPage page;
    MapDrawOptions options;
  };
  const Row rows[] = {
      {"mean", make_page(beats, default_layout(), mean), plain},
      {"sd", make_page(beats, default_layout(), sd), plain},
      {"beat", make_page(beats, default_layout(), beat), plain},
      {"sheet", make_page(beats, default_layout(), sheet), plain},
      {"layout", make_page(beats, layout_with_a_bad_lead(), mean), plain},
      {"no_labels", make_page(beats, default_layout(), mean), no_labels},
      {"departure", departure_page(), plain},
      {"difference",
       make_difference_page(beats, turning_beats(0.5), "after.txt", "before.txt", default_layout(),
                            mean),
       plain},
  };
  const std::filesystem::path folder = ba::test::source_dir() / "tests/map/expected";
  const bool approve = std::getenv("BEAT_APPROVE_PICTURES") != nullptr;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const QImage drawn = map_image(row.page, QSize(400, 300), row.options);
    const QString file =
        QString::fromStdString((folder / (std::string(row.name) + ".png")).string());
    if (approve) drawn.save(file, "PNG");
    const QImage expected = QImage(file).convertToFormat(drawn.format());
    ASSERT_EQ(expected.size(), drawn.size()) << "no expected picture " << file.toStdString();
    // Text may be smoothed a little differently elsewhere; a changed label,
    // line or colour moves hundreds of pixels.
    EXPECT_LE(pixels_apart(expected, drawn), 150);
  }
}

TEST(MapDrawing, TitleAndCaptionFollowTheInstalledTranslation) {
  const std::unique_ptr<QTranslator> japanese =
      load_translation(QLocale(QLocale::Japanese, QLocale::Japan));
  ASSERT_NE(japanese, nullptr);
  QCoreApplication::installTranslator(japanese.get());
  const std::vector<ResultBeat> beats = turning_beats();
  const MapPage page = make_page(beats, default_layout(), MapRequest{}, map_wording());
  const MapPicture picture = compose_picture(page, 800, 600, MapDrawOptions{}, map_wording());
  QCoreApplication::removeTranslator(japanese.get());
  EXPECT_EQ(page.title, "QRST 積分マップ: 12 心拍の平均");
  ASSERT_EQ(picture.captions.size(), 1u);
  EXPECT_EQ(picture.captions[0].text.rfind("最大 ", 0), 0u) << picture.captions[0].text;
  EXPECT_EQ(make_page(beats, default_layout(), MapRequest{}, map_wording()).title,
            "QRST integral map: mean of 12 beats")
      << "English again without the translation";
}

// A disk that is full: every whole-file write is refused.
class FullDisk : public HostFileOps {
 public:
  std::optional<std::string> replace_file(const std::filesystem::path&,
                                          std::string_view bytes) override {
    offered = std::string(bytes);
    return "No space left on device";
  }
  std::string offered;
};

TEST(MapDrawing, EveryFormatGoesThroughTheOneWriter) {
  test::TempFolder temp("map_drawing");
  const MapPage page = make_page(turning_beats(), default_layout(), MapRequest{});
  struct Row {
    const char* name;
    std::string start;
  };
  for (const Row& row :
       {Row{"map.png", "\x89PNG"}, Row{"map.SVG", "<?xml"}, Row{"map.pdf", "%PDF"}}) {
    SCOPED_TRACE(row.name);
    const std::string path = (temp.path() / row.name).string();
    FullDisk disk;
    const auto error = save_map_file(disk, path, page, QSize(400, 300), MapDrawOptions{});
    EXPECT_EQ(disk.offered.rfind(row.start, 0), 0u) << "the whole picture is offered";
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, "cannot write " + path + ": No space left on device");
    EXPECT_FALSE(std::filesystem::exists(path));
  }
}

}  // namespace
}  // namespace ba
