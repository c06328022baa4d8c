// Whole headless sessions of the built program on the demonstration
// recording, driven by the scripts under tests/runs/. What the program
// writes (result file, log, page images, console) is checked against values
// computed here from the recording's signal model: every normal beat
// accepted, every ectopic beat rejected, each QRST area as the samples give.

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/program_runs.h"
#include "support/bmp_file.h"
#include "support/build_paths.h"
#include "tools/demo_model.h"

namespace ba::demo {
namespace {

namespace fs = std::filesystem;

const DemoModel& model() {
  static const DemoModel m;
  return m;
}

std::vector<std::string> split_lines(const std::string& text, const std::string& end) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(end, from)) != std::string::npos; from = at + end.size())
    lines.push_back(text.substr(from, at - from));
  if (from < text.size()) lines.push_back(text.substr(from));
  return lines;
}

std::vector<int> numbers_in(const std::string& line) {
  std::istringstream in(line);
  std::vector<int> values;
  for (int v; in >> v;) values.push_back(v);
  return values;
}

fs::path run_case_folder(const std::string& run_case) {
  return ba::test::source_dir() / "tests" / "runs" / run_case;
}

// One run of beat_analyser --headless, driven by the script of a case under
// tests/runs/, in a fresh data folder holding demo.dat; the folder goes when
// the session does.
struct Session {
  explicit Session(const std::string& run_case) {
    test::write_demo_recording(folder / "demo.dat");
    // A script names its own snapshots under {dir}, the session's folder.
    std::string script = test::read_host_file(run_case_folder(run_case) / "input.txt");
    for (std::size_t at; (at = script.find("{dir}")) != std::string::npos;)
      script.replace(at, 5, folder.path().string());
    const test::Outcome run =
        test::run_beat_analyser(folder.path(),
                                "--headless --data-dir '" + folder.path().string() +
                                    "' --snapshot-dir '" + (folder / "snapshots").string() + "'",
                                script, "QT_QPA_PLATFORM=offscreen");
    status = run.status;
    out = run.out;
    err = run.err;
  }

  std::string file(const std::string& name) const { return test::read_host_file(folder / name); }
  std::vector<std::string> out_lines() const { return split_lines(out, "\n"); }

  test::TempFolder folder{"session"};
  int status = -1;
  std::string out;  // standard output: console lines and "[Unit N] " window lines
  std::string err;
};

// The fiducial beat-window indices the marking pass printed after its labels.
struct Fiducials {
  int pq = 0, q = 0, t = 0;
};

Fiducials fiducials_shown(const Session& s) {
  const auto lines = s.out_lines();
  auto after = [&](const std::string& label) {
    const auto at = std::find(lines.begin(), lines.end(), label);
    return at != lines.end() && at + 1 != lines.end() ? std::stoi(*(at + 1)) : -1;
  };
  return {after(" artifact point! "), after(" Q 開始点 "), after(" T 終点! ")};
}

// AQRST of one lead as the recording's samples give it: the sum from Q
// start to T end against the sample at the PQ point, divided by 200 toward
// zero.
int expected_area(int r, const Fiducials& f, int lead) {
  const int channel = lead + 8;
  const int baseline = model().sample(channel, r + f.pq - 200);
  int sum = 0;
  for (int t = r + f.q - 200; t <= r + f.t - 200; ++t) sum += model().sample(channel, t) - baseline;
  return sum / 200;
}

struct SavedBeat {
  int r = 0;
  std::vector<int> areas;  // leads 1..64
};

// Reads the result file, checking its line structure on the way: the count,
// then per beat its R position and 11 lines of areas (6 per line, 4 on the
// last), every value in a 12-character field, CRLF line ends.
std::vector<SavedBeat> read_result_file(const std::string& bytes) {
  EXPECT_TRUE(bytes.size() >= 2 && bytes.substr(bytes.size() - 2) == "\r\n");
  const auto lines = split_lines(bytes, "\r\n");
  EXPECT_FALSE(lines.empty());
  if (lines.empty()) return {};
  const int count = std::stoi(lines[0]);
  EXPECT_EQ(lines.size(), 1u + 12u * count);
  if (lines.size() != 1u + 12u * count) return {};
  std::vector<SavedBeat> beats;
  for (int b = 0; b < count; ++b) {
    const std::size_t first = 1 + 12 * b;
    EXPECT_EQ(lines[first].size(), 12u);
    SavedBeat beat{std::stoi(lines[first]), {}};
    for (std::size_t k = 1; k <= 11; ++k) {
      EXPECT_EQ(lines[first + k].size(), k < 11 ? 72u : 48u) << "beat " << b + 1 << " line " << k;
      for (int v : numbers_in(lines[first + k])) beat.areas.push_back(v);
    }
    EXPECT_EQ(beat.areas.size(), 64u);
    beats.push_back(beat);
  }
  return beats;
}

// Every normal beat is found once, a few samples after its R peak (where
// the power falls steepest), and no ectopic beat is among them.
void expect_normal_beats_only(const std::vector<int>& positions) {
  std::vector<int> normals;
  for (const Beat& b : model().beats()) {
    if (b.kind == BeatKind::normal) normals.push_back(b.r);
    if (b.kind != BeatKind::ectopic) continue;
    for (int p : positions) EXPECT_GT(std::abs(p - b.r), 100) << "ectopic beat at " << b.r;
  }
  ASSERT_EQ(positions.size(), normals.size());
  for (std::size_t i = 0; i < normals.size(); ++i) {
    EXPECT_GE(positions[i] - normals[i], 0) << "beat " << i + 1;
    EXPECT_LE(positions[i] - normals[i], 10) << "beat " << i + 1;
  }
}

// The result file of a compute session: every normal beat, each of its 64
// areas as the recording's samples give it for the fiducial points shown.
void expect_measured_result(const Session& s) {
  const Fiducials f = fiducials_shown(s);
  // Clicks at pixels 78, 93 and 348 of the enlarged beat: indices near 5/3 of each.
  EXPECT_NEAR(f.pq, 130, 1);
  EXPECT_NEAR(f.q, 155, 1);
  EXPECT_NEAR(f.t, 580, 1);

  const auto saved = read_result_file(s.file("demost.txt"));
  std::vector<int> positions;
  for (const SavedBeat& b : saved) positions.push_back(b.r);
  expect_normal_beats_only(positions);
  for (const SavedBeat& b : saved)
    for (int lead = 1; lead <= 64 && lead <= static_cast<int>(b.areas.size()); ++lead)
      ASSERT_EQ(b.areas[lead - 1], expected_area(b.r, f, lead))
          << "beat " << b.r << " lead " << lead;
}

constexpr std::uint32_t strip_blue = 208u << 16;  // (0, 0, 208)
constexpr std::uint32_t white = 0xFFFFFF;

// The strip of a beat at R drawn with its zero line at page pixel (x0, y0):
// 100 samples of lead 13 from R - 50, clipped to +-1800, one pixel per 32
// units, positive upward. The page image starts at page pixel (1, 1).
void expect_strip(const test::BmpFile& page, int r, int x0, int y0) {
  for (int i = 1; i <= 100; ++i) {
    const int s = std::clamp<int>(model().sample(21, r + i - 51), -1800, 1800);
    const int row = y0 + static_cast<int>(-s / 32.0);
    EXPECT_EQ(page.pixel(x0 + i - 1, row - 1), strip_blue) << "strip of " << r << " point " << i;
  }
}

void expect_page_image(const std::string& bytes) {
  const test::BmpFile page(bytes);
  EXPECT_EQ(page.width, 1000);
  EXPECT_EQ(page.height, 750);
  EXPECT_EQ(page.bits, 24);
  EXPECT_EQ(page.bytes.size(), page.pixels_at + 1000u * 750u * 3u);
}

TEST(HeadlessSession, ComputeSaveAndEnd) {
  const Session s("demo_compute");
  ASSERT_EQ(s.status, 0) << s.err;
  expect_measured_result(s);
}

// Every run gives the bytes written down for it: expected_stdout.txt the
// standard output, expected_NAME the data folder's file NAME (result file,
// log), so that no change elsewhere alters what the program writes.
// (exported_* files are the export verbs' tables of the same run.)
TEST(HeadlessSession, EveryRunWritesItsExpectedBytes) {
  for (const auto& entry : fs::directory_iterator(run_case_folder("."))) {
    const std::string run_case = entry.path().filename().string();
    SCOPED_TRACE(run_case);
    const Session s(run_case);
    EXPECT_EQ(s.status, 0) << s.err;
    int compared = 0;
    for (const auto& expected : fs::directory_iterator(entry.path())) {
      const std::string name = expected.path().filename().string();
      if (!name.starts_with("expected_")) continue;
      const std::string file = name.substr(std::string("expected_").size());
      const std::string written = file == "stdout.txt" ? s.out : s.file(file);
      EXPECT_TRUE(written == test::read_host_file(expected.path())) << file << " differs";
      ++compared;
    }
    EXPECT_GE(compared, 2);
  }
}

TEST(HeadlessSession, ComputeWithoutPrinting) {
  const Session s("demo_compute_no_print");
  ASSERT_EQ(s.status, 0) << s.err;
  expect_measured_result(s);
  EXPECT_FALSE(fs::exists(s.folder / "demost1.bmp"));
  // The log holds the selection and one record per candidate, nothing printed.
  const auto log = split_lines(s.file("demostlog.txt"), "\r\n");
  EXPECT_EQ(log.size(), 1 + model().beats().size() + 1);
  for (const std::string& line : log) EXPECT_EQ(line.find("print on time"), std::string::npos);
}

// One recognition record of the log: " k=", the candidate number, " r=", the
// best coefficient, " ;  time_dif", the best shift and the new position.
struct Recognition {
  int k = 0, shift = 0, position = 0;
  float corr = 0;
};

bool read_recognition(const std::string& line, Recognition& record) {
  int end = 0;
  return std::sscanf(line.c_str(), " k=%d r=%f ;  time_dif%d%d%n", &record.k, &record.corr,
                     &record.shift, &record.position, &end) == 4 &&
         static_cast<std::size_t>(end) == line.size();
}

TEST(HeadlessSession, ComputeWritesTheLogRecords) {
  const Session s("demo_compute");
  ASSERT_EQ(s.status, 0) << s.err;
  const auto log = split_lines(s.file("demostlog.txt"), "\r\n");
  ASSERT_FALSE(log.empty());
  // The reference beat chosen on the preview: 200 before the candidate.
  EXPECT_EQ(log[0], " selected time        1187");

  std::vector<int> accepted;
  int candidates = 0;
  std::size_t i = 1;
  for (Recognition record; i < log.size() && read_recognition(log[i], record); ++i) {
    EXPECT_EQ(record.k, ++candidates);
    const int position = record.position;
    EXPECT_EQ(position != 0, record.corr >= 0.95f) << log[i];
    if (position != 0) accepted.insert(accepted.begin(), position);  // latest first in the log
  }
  // Every beat of the recording and one last pick that failed the ratio test.
  EXPECT_EQ(candidates, static_cast<int>(model().beats().size()) + 1);
  expect_normal_beats_only(accepted);

  // Then per printed beat its position and the strip's place on the page,
  // filled column by column: 4 rows 110 pixels apart, columns 105 apart.
  ASSERT_EQ(log.size(), i + 2 * accepted.size());
  int off_x = 50, off_y = 80;
  for (std::size_t b = 0; b < accepted.size(); ++b) {
    const auto& printed = log[i + 2 * b];
    EXPECT_EQ(printed.substr(0, 14), " print on time");
    EXPECT_EQ(numbers_in(printed.substr(14)),
              (std::vector<int>{accepted[b], static_cast<int>(b) + 1}));
    char place[40];
    std::snprintf(place, sizeof place, " off_x%7d off_y%7d", off_x, off_y);
    EXPECT_EQ(log[i + 2 * b + 1], place);
    if (off_y >= 500) off_x += 105, off_y = 80;
    off_y += 110;
  }
}

TEST(HeadlessSession, ComputeSavesThePrintPage) {
  const Session s("demo_compute");
  ASSERT_EQ(s.status, 0) << s.err;
  const std::string bytes = s.file("demost1.bmp");
  expect_page_image(bytes);
  EXPECT_FALSE(fs::exists(s.folder / "demost2.bmp"));  // 32 beats fill exactly one page
  const test::BmpFile page(bytes);
  const auto saved = read_result_file(s.file("demost.txt"));
  ASSERT_EQ(saved.size(), 32u);
  expect_strip(page, saved[0].r, 50, 80);     // first column, first row
  expect_strip(page, saved[5].r, 155, 190);   // sixth beat: second column, second row
  expect_strip(page, saved[31].r, 785, 410);  // last place of the page
  EXPECT_EQ(page.pixel(500, 700), white);
  // The first beat's label, its R position in small text, lies above its strip.
  int label_pixels = 0;
  for (int y = 29; y < 45; ++y)
    for (int x = 19; x < 70; ++x) label_pixels += page.pixel(x, y) != white;
  EXPECT_GT(label_pixels, 10);
}

TEST(HeadlessSession, SecondComputeContinuesOnTheNextPage) {
  const Session s("demo_compute_twice");
  ASSERT_EQ(s.status, 0) << s.err;
  // The 33rd printed beat turned the page: page 1 saved then, page 2 at the end.
  expect_page_image(s.file("demost1.bmp"));
  expect_page_image(s.file("demost2.bmp"));
  const test::BmpFile first(s.file("demost1.bmp")), second(s.file("demost2.bmp"));
  const auto log = s.file("demostlog.txt");
  const int first_r = model().beats().front().r;
  int printed_first = -1;
  for (const std::string& line : split_lines(log, "\r\n")) {
    const auto v =
        line.starts_with(" print on time") ? numbers_in(line.substr(14)) : std::vector<int>{};
    if (v.size() == 2 && v[1] == 1) printed_first = v[0];
  }
  ASSERT_NEAR(printed_first, first_r, 10);
  expect_strip(first, printed_first, 50, 80);
  expect_strip(second, printed_first, 50, 80);
  // The place record of the 33rd beat shows the grid before the page turn.
  EXPECT_NE(log.find(" off_x    785 off_y    520\r\n"), std::string::npos);
}

TEST(HeadlessSession, ViewAllBeatsThenSave) {
  const Session s("demo_view");
  ASSERT_EQ(s.status, 0) << s.err;
  std::vector<int> shown;
  int captions = 0;
  for (const std::string& line : s.out_lines()) {
    if (line.starts_with(" CLEARSCREE")) {
      const auto v = numbers_in(line.substr(11));
      ASSERT_EQ(v.size(), 3u) << line;
      EXPECT_EQ(v[0], v[1]);
      EXPECT_EQ(v[2], static_cast<int>(shown.size()) + 1);
      shown.push_back(v[1]);
    }
    if (line.starts_with("[Unit 12]  Displyed beat") && line.ends_with(":  Click !  ")) ++captions;
  }
  expect_normal_beats_only(shown);
  EXPECT_EQ(captions, static_cast<int>(shown.size()));
  // v measures the beats it shows as c does: d saves those beats with their areas.
  const auto saved = read_result_file(s.file("demost.txt"));
  ASSERT_EQ(saved.size(), shown.size());
  for (std::size_t b = 0; b < saved.size(); ++b) EXPECT_EQ(saved[b].r, shown[b]);
  expect_measured_result(s);
  EXPECT_FALSE(fs::exists(s.folder / "demost1.bmp"));  // v prints nothing
}

// Columns of the window image where a vertical line of `colour` spans the
// trace area (rows 30 to 269); prompt lines written later may cross it.
std::vector<int> marker_columns(const QImage& image, QRgb colour) {
  std::vector<int> columns;
  for (int x = 0; x < image.width(); ++x) {
    int covered = 0;
    for (int y = 30; y <= 269; ++y) covered += image.pixel(x, y) == colour;
    if (covered >= 200 && image.pixel(x, 269) == colour && image.pixel(x, 270) != colour)
      columns.push_back(x);
  }
  return columns;
}

int blue_pixels(const QImage& image) {
  int count = 0;
  for (int x = 0; x < image.width(); ++x)
    for (int y = 0; y < 300; ++y) count += image.pixel(x, y) == qRgb(0, 0, 240);
  return count;
}

// Selecting the beat nearest a click on the preview and marking its fiducial
// points, seen as the person sees it.
TEST(HeadlessSession, SelectAndMarkABeat) {
  const Session s("demo_mark");
  ASSERT_EQ(s.status, 0) << s.err;
  const QRgb cyan = qRgb(0, 255, 255);

  // The preview marks every candidate of the first 4 s at 0.15 column per
  // sample; the normal beats are among them, a few samples after their R.
  const QImage preview(QString::fromStdString((s.folder / "preview.png").string()));
  ASSERT_FALSE(preview.isNull());
  const auto candidates = marker_columns(preview, cyan);
  for (const Beat& b : model().beats()) {
    if (b.r > 3900) break;
    const bool marked = std::any_of(candidates.begin(), candidates.end(), [&](int column) {
      return column >= static_cast<int>(b.r * 0.15) &&
             column <= static_cast<int>((b.r + 10) * 0.15);
    });
    EXPECT_TRUE(marked) << "beat at " << b.r;
  }
  EXPECT_GT(blue_pixels(preview), 3000);

  // The chosen beat is the candidate nearest column 208 (sample 1386).
  const auto lines = s.out_lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), " 選択した点（msec）        1387"), lines.end());
  EXPECT_EQ(split_lines(s.file("demostlog.txt"), "\r\n").at(0), " selected time        1187");

  // Enlarged: the preview and its markers are gone; the R peak (index 200)
  // stands at column 120, where lead 13 reaches its largest deflection.
  const QImage enlarged(QString::fromStdString((s.folder / "enlarged.png").string()));
  ASSERT_FALSE(enlarged.isNull());
  EXPECT_TRUE(marker_columns(enlarged, cyan).empty());
  EXPECT_GT(blue_pixels(enlarged), 1000);
  int peak_column = -1, peak_reach = 300;
  for (int x = 0; x < 600; ++x)
    for (int y = 0; y < 300; ++y)
      if (enlarged.pixel(x, y) == qRgb(0, 0, 240) && y < peak_reach)
        peak_reach = y, peak_column = x;
  EXPECT_NEAR(peak_column, 120, 6);

  // Each fiducial click leaves its marker at the clicked column (or the one
  // before, where column / 1000 is just below the exact fraction) and
  // prints its beat-window index, about 5/3 of the column.
  const QImage marked(QString::fromStdString((s.folder / "marked.png").string()));
  ASSERT_FALSE(marked.isNull());
  const auto markers = marker_columns(marked, cyan);
  ASSERT_EQ(markers.size(), 3u);
  const int clicked[] = {78, 93, 348};
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(markers[i] == clicked[i] || markers[i] == clicked[i] - 1);
  const Fiducials f = fiducials_shown(s);
  EXPECT_EQ(f.pq, 129);
  EXPECT_EQ(f.q, 154);
  EXPECT_EQ(f.t, 579);
}

}  // namespace
}  // namespace ba::demo
