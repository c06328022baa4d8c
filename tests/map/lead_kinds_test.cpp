#include "map/lead_kinds.h"

#include <gtest/gtest.h>

namespace ba {
namespace {

// Three beats: lead 1 timed at AT -10, -12 and (none) ms, RT 250, 254, 258;
// lead 2 never timed; every area n, n - 1 and 1 for lead n.
std::vector<BeatLeads> three_beats() {
  std::vector<BeatLeads> beats(3);
  for (std::size_t k = 0; k < beats.size(); ++k) {
    beats[k].r_ms = 1000 * static_cast<std::int32_t>(k + 1);
    for (long lead = 1; lead <= lead_point_count; ++lead) {
      beats[k].qrst_area(lead) = static_cast<std::int32_t>(lead);
      beats[k].qrs_area(lead) = static_cast<std::int32_t>(lead) - 1;
      beats[k].stt_area(lead) = 1;
      if (lead == 2) continue;
      if (k < 2) beats[k].at_ms(lead) = k == 0 ? -10 : -12;
      beats[k].rt_ms(lead) = 250 + 4 * static_cast<std::int32_t>(k);
    }
  }
  return beats;
}

TEST(LeadKinds, ValuesOfEachKind) {
  const auto table = three_beats();
  const struct {
    const char* name;
    std::array<std::int32_t, 3> lead1;  // the three beats' values of lead 1
    double scale;
  } rows[] = {
      {"qrst", {1, 1, 1}, 1},
      {"qrs", {0, 0, 0}, 1},
      {"stt", {1, 1, 1}, 1},
      {"at", {-10000, -12000, -11000}, 0.001},  // the missing beat takes the mean, -11 ms
      {"rt", {250000, 254000, 258000}, 0.001},
      {"ari", {260000, 266000, 263000}, 0.001},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto kind = lead_kind_named(row.name);
    ASSERT_TRUE(kind);
    const KindBeats beats = kind_beats(table, *kind);
    ASSERT_EQ(beats.beats.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
      EXPECT_EQ(beats.beats[k].r_ms, table[k].r_ms);
      EXPECT_EQ(beats.beats[k].areas(1), row.lead1[k]);
    }
    EXPECT_EQ(beats.scale, row.scale);
    EXPECT_EQ(beats.untimed_leads, is_timing(*kind) ? std::vector<int>{2} : std::vector<int>{});
  }
  EXPECT_FALSE(lead_kind_named("QRST"));
  EXPECT_FALSE(lead_kind_named(""));
}

TEST(LeadKinds, TimingPagesOnIsochrones) {
  const struct {
    const char* label;
    LeadKind kind;
    MapKind map;
    double low, high;  // lead values, ms
    const char* title;
    std::optional<double> step, bottom;
    double limit;
  } rows[] = {
      {"AT from -11 to 37 ms: every 5 ms", LeadKind::at, MapKind::mean, -11, 37,
       "Activation time map: mean", 5, -15, 40},
      {"RT over 90 ms: every 10 ms", LeadKind::rt, MapKind::mean, 201, 291,
       "Recovery time map: mean", 10, 200, 300},
      {"all equal: one isochrone's width", LeadKind::ari, MapKind::beat, 260, 260,
       "Activation-recovery interval map: mean", 5, 260, 265},
      {"a spread keeps its scale", LeadKind::at, MapKind::sd, 0, 3, "Activation time map: mean",
       0.5, std::nullopt, 3},
      {"an integral only renamed", LeadKind::stt, MapKind::mean, -40, 30, "ST-T integral map: mean",
       0.5, std::nullopt, 3},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    MapPage page;
    page.kind = row.map;
    page.title = "QRST integral map: mean";
    page.layout = default_layout();
    page.step = 0.5;
    page.limit = 3;
    MapFrame frame;
    for (long n = 1; n <= lead_point_count; ++n) frame.values(n) = (row.low + row.high) / 2;
    frame.values(1) = row.low;
    frame.values(64) = row.high;
    page.frames = {frame};
    shape_kind_page(page, row.kind);
    EXPECT_EQ(page.title, row.title);
    EXPECT_EQ(page.step, row.step);
    EXPECT_EQ(page.bottom, row.bottom);
    EXPECT_EQ(page.limit, row.limit);
  }
}

}  // namespace
}  // namespace ba
