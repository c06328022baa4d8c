// The files that libraries write by name (EDF+ through EDFlib, MATLAB
// through matio): what they hold, read back through the same libraries, and
// that they appear whole or not at all.

#include <edflib.h>
#include <gtest/gtest.h>
#include <matio.h>
#include <stdlib.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>

#include "interchange/edf_file.h"
#include "interchange/mat_file.h"
#include "interchange/recording_export.h"
#include "support/temp_folder.h"

namespace ba {
namespace {

namespace fs = std::filesystem;

std::set<std::string> names_in(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

// The physical limits are -32768 / F and 32767 / F in 8 characters, cut
// after the last digit that fits: a value read back moves by less than one
// last place times F, which must stay below half a unit.
TEST(EdfFactor, FactorsWhoseLimitsTheHeaderHolds) {
  struct Row {
    const char* label;
    double units_per_uv;
    bool fits;
  } rows[] = {
      {"1: -32768 and 32767 in whole uV, last place 0.1", 1.0, true},
      {"0.01: -3276800, last place 1 uV = 0.01 units", 0.01, true},
      {"0.004: -8192000 fills all 8 characters", 0.004, true},
      {"0.003: -10922667 needs 9 characters", 0.003, false},
      {"0.001: -32768000 needs 9 characters", 0.001, false},
      {"1e-9: far beyond the field", 1e-9, false},
      {"40000: -0.8192, last place 0.00001 uV = 0.4 units", 40000.0, true},
      {"49999: -0.65537, last place 0.00001 uV = 0.49999 units", 49999.0, true},
      {"50000: -0.65536, last place 0.00001 uV = 0.5 units", 50000.0, false},
      {"60000: -0.54613, last place 0.00001 uV = 0.6 units", 60000.0, false},
      {"1e300: the limits cut to 0", 1e300, false},
      {"the smallest double: limits beyond any field", 5e-324, false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(!edf_factor_fault(row.units_per_uv).has_value(), row.fits) << row.label;
}

std::vector<EdfSignalOut> silent_recording() {
  return recording_signals(std::vector<unsigned char>(recording_bytes), 1.0);
}

// EDFlib keeps one annotation per annotation signal and record, at most 64
// signals: 32 s carry 2048 annotations.
TEST(EdfAnnotations, AsManyAsTheRecordsCarryAndNoMore) {
  test::TempFolder folder("edf_room");
  HostFileOps files;
  std::vector<EdfAnnotation> annotations;
  for (std::int64_t b = 0; b < 2048; ++b) annotations.push_back({b * 15 * ticks_per_ms, "R"});
  ASSERT_EQ(write_edf_plus(files, folder / "full.edf", silent_recording(), annotations),
            std::nullopt);
  auto header = std::make_unique<edf_hdr_struct>();
  ASSERT_EQ(edfopen_file_readonly((folder / "full.edf").c_str(), header.get(),
                                  EDFLIB_READ_ALL_ANNOTATIONS),
            0);
  EXPECT_EQ(header->annotations_in_file, 2048);
  edfclose_file(header->handle);

  annotations.push_back({31999 * ticks_per_ms, "R"});
  EXPECT_EQ(
      write_edf_plus(files, folder / "over.edf", silent_recording(), annotations),
      std::optional<std::string>("2049 annotations are more than EDF+ carries in 32 s (2048)"));
  EXPECT_FALSE(fs::exists(folder / "over.edf"));
}

// A disk that refuses every write; whatever went to a private folder
// before is gone again.
class FullDisk : public HostFileOps {
 public:
  std::optional<std::string> replace_file(const fs::path&, std::string_view) override {
    return "No space left on device";
  }
};

class ScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TMPDIR");
    saved_ = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("TMPDIR", scratch.path().c_str(), 1);
  }
  void TearDown() override {
    if (saved_)
      ::setenv("TMPDIR", saved_->c_str(), 1);
    else
      ::unsetenv("TMPDIR");
  }
  test::TempFolder scratch{"scratch"};
  test::TempFolder folder{"outputs"};

 private:
  std::optional<std::string> saved_;
};

TEST_F(ScratchFolder, AFailedCommitLeavesNothingAnywhere) {
  test::write_host_file(folder / "old.edf", "old");
  FullDisk disk;
  struct Row {
    const char* label;
    std::function<std::optional<std::string>(const fs::path&)> write;
  } rows[] = {
      {"EDF+",
       [&](const fs::path& path) { return write_edf_plus(disk, path, silent_recording(), {}); }},
      {"MATLAB",
       [&](const fs::path& path) {
         return write_mat(disk, path, {"demo", {}, {}});
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(row.write(folder / "new"), std::optional<std::string>("No space left on device"));
    EXPECT_EQ(row.write(folder / "old.edf"), std::optional<std::string>("No space left on device"));
    EXPECT_EQ(names_in(folder.path()), std::set<std::string>{"old.edf"});
    EXPECT_EQ(test::read_host_file(folder / "old.edf"), "old");
    EXPECT_TRUE(names_in(scratch.path()).empty());
  }
}

// Reads one variable whole; the file stays open for others.
struct MatReader {
  explicit MatReader(const fs::path& path) : file(Mat_Open(path.c_str(), MAT_ACC_RDONLY)) {}
  ~MatReader() {
    if (file) Mat_Close(file);
  }
  std::unique_ptr<matvar_t, decltype(&Mat_VarFree)> read(const char* name) {
    return {Mat_VarRead(file, name), Mat_VarFree};
  }
  mat_t* file;
};

std::vector<double> doubles(const matvar_t* variable) {
  if (!variable || variable->class_type != MAT_C_DOUBLE) return {};
  const auto* values = static_cast<const double*>(variable->data);
  return {values, values + variable->nbytes / sizeof(double)};
}

std::string text_of(const matvar_t* variable) {
  if (!variable || variable->class_type != MAT_C_CHAR) return "?";
  return {static_cast<const char*>(variable->data), variable->nbytes};
}

// Two beats whose areas differ in every lead and beat, the largest 32-bit
// areas among them; a layout that leaves lead 64 out.
TEST_F(ScratchFolder, MatlabFileHoldsEveryValue) {
  MatResults results{"demo", std::vector<ResultBeat>(2), MatLayout{}};
  results.beats[0].r_ms = 435;
  results.beats[1].r_ms = 31999;
  for (long lead = 1; lead <= lead_point_count; ++lead) {
    results.beats[0].areas(lead) = static_cast<std::int32_t>(lead * 100);
    results.beats[1].areas(lead) = static_cast<std::int32_t>(-lead);
    results.layout->x[static_cast<std::size_t>(lead - 1)] = 0.5 * static_cast<double>(lead);
    results.layout->y[static_cast<std::size_t>(lead - 1)] = -static_cast<double>(lead);
    results.layout->label[static_cast<std::size_t>(lead - 1)] = "V" + std::to_string(lead);
  }
  results.beats[0].areas(1) = 2147483647;
  results.beats[1].areas(64) = -2147483647 - 1;
  results.layout->x[63] = results.layout->y[63] = std::nan("");
  results.layout->label[63] = "";
  HostFileOps files;
  ASSERT_EQ(write_mat(files, folder / "demo.mat", results), std::nullopt);
  EXPECT_TRUE(names_in(scratch.path()).empty());

  MatReader mat(folder / "demo.mat");
  ASSERT_TRUE(mat.file);
  EXPECT_EQ(Mat_GetVersion(mat.file), MAT_FT_MAT5);
  const auto areas = mat.read("areas");
  ASSERT_TRUE(areas);
  ASSERT_EQ(areas->rank, 2);
  EXPECT_EQ(areas->dims[0], 2u);
  EXPECT_EQ(areas->dims[1], 64u);
  const std::vector<double> area = doubles(areas.get());
  ASSERT_EQ(area.size(), 128u);
  for (std::size_t lead = 2; lead <= 63; ++lead) {  // column after column
    EXPECT_EQ(area[(lead - 1) * 2], lead * 100.0) << lead;
    EXPECT_EQ(area[(lead - 1) * 2 + 1], -static_cast<double>(lead)) << lead;
  }
  EXPECT_EQ(area[0], 2147483647.0);
  EXPECT_EQ(area[1], -1.0);
  EXPECT_EQ(area[126], 6400.0);
  EXPECT_EQ(area[127], -2147483648.0);
  EXPECT_EQ(doubles(mat.read("r_ms").get()), (std::vector<double>{435, 31999}));
  const auto leads = mat.read("leads");
  ASSERT_TRUE(leads);
  EXPECT_EQ(leads->dims[0], 1u);
  const std::vector<double> numbers = doubles(leads.get());
  ASSERT_EQ(numbers.size(), 64u);
  for (std::size_t lead = 1; lead <= 64; ++lead) EXPECT_EQ(numbers[lead - 1], lead);
  EXPECT_EQ(text_of(mat.read("recording").get()), "demo");

  const auto layout = mat.read("layout");
  ASSERT_TRUE(layout);
  ASSERT_EQ(layout->class_type, MAT_C_STRUCT);
  const std::vector<double> x = doubles(Mat_VarGetStructFieldByName(layout.get(), "x", 0));
  const std::vector<double> y = doubles(Mat_VarGetStructFieldByName(layout.get(), "y", 0));
  matvar_t* label = Mat_VarGetStructFieldByName(layout.get(), "label", 0);
  ASSERT_EQ(x.size(), 64u);
  ASSERT_EQ(y.size(), 64u);
  ASSERT_TRUE(label && label->class_type == MAT_C_CELL);
  for (int lead = 1; lead <= 63; ++lead) {
    EXPECT_EQ(x[static_cast<std::size_t>(lead - 1)], 0.5 * lead) << lead;
    EXPECT_EQ(y[static_cast<std::size_t>(lead - 1)], -lead) << lead;
    EXPECT_EQ(text_of(Mat_VarGetCell(label, lead - 1)), "V" + std::to_string(lead));
  }
  EXPECT_TRUE(std::isnan(x[63]) && std::isnan(y[63]));
  EXPECT_EQ(Mat_VarGetCell(label, 63)->nbytes, 0u);
}

}  // namespace
}  // namespace ba
