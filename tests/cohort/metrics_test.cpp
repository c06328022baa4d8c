// The measures table of a study, worked out by hand for small result files
// and groups whose statistics are whole numbers.

#include "cohort/metrics.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

namespace ba {
namespace {

using Entries = std::initializer_list<std::pair<int, std::int32_t>>;

ResultBeat beat_of(std::int32_t r_ms, Entries entries) {
  ResultBeat beat;
  beat.r_ms = r_ms;
  for (const auto& [lead, area] : entries) beat.areas(lead) = area;
  return beat;
}

LeadValues map_of(Entries entries) { return beat_values(beat_of(0, entries), 1.0); }

ReferenceGroup group_of(const std::vector<LeadValues>& maps, const LeadSet& leads) {
  GroupOutcome outcome = make_reference_group(maps, leads);
  if (const auto* reason = std::get_if<std::string>(&outcome)) ADD_FAILURE() << *reason;
  return std::get<ReferenceGroup>(outcome);
}

TEST(MetricsTable, CellsOfTheFileAndItsBeats) {
  const LeadSet leads = usable_leads(default_layout());
  // Lead 1 of the group: 1, 2, 3 (mu 2, sigma 1); every other lead 0.
  const ReferenceGroup group =
      group_of({map_of({{1, 1}}), map_of({{1, 2}}), map_of({{1, 3}})}, leads);
  // Lead 1 of the file: 3, 5, 7 (mean 5, SD 2: variability sqrt(4 / 64)),
  // numbered by R time whatever the file's order.
  StudyFile file;
  file.name = "a,b.txt";
  file.beats = {beat_of(900, {{1, 5}}), beat_of(100, {{1, 3}}), beat_of(1700, {{1, 7}})};
  const std::string head =
      "max,max_lead,min,min_lead,variability,ndi,ndi_beats_mean,ndi_beats_sd,max_abs_z,"
      "max_abs_z_lead,leads_z2,leads_z3,total_activation_ms,ari_dispersion_ms,ari_sd_ms,"
      "rt_dispersion_ms,rt_sd_ms,total_activation_z,ari_dispersion_z,rt_dispersion_z";
  struct Row {
    const char* label;
    const ReferenceGroup* group;
    bool per_beat;
    std::string csv;
  } rows[] = {
      {"alone: no KL, NDI or departure", nullptr, false,
       "file,beats," + head + "\n\"a,b.txt\",3,5,1,0,2,0.25,,,,,,,,,,,,,,,\n"},
      {"against a one-vector group, per beat", &group, true,
       "file,beat,r_ms,beats," + head + ",kl1\n" +
           "\"a,b.txt\",,,3,5,1,0,2,0.25,,,,3,1,1,1,,,,,,,,,5\n"
           "\"a,b.txt\",1,100,,3,1,0,2,,,,,1,1,0,0,,,,,,,,,3\n"
           "\"a,b.txt\",2,900,,5,1,0,2,,,,,3,1,1,1,,,,,,,,,5\n"
           "\"a,b.txt\",3,1700,,7,1,0,2,,,,,5,1,1,1,,,,,,,,,7\n"},
  };
  for (const Row& row : rows) {
    const auto table = study_rows(file, leads, row.group, row.per_beat);
    EXPECT_EQ(metrics_csv(table, row.group ? row.group->basis.size() : 0, row.per_beat), row.csv)
        << row.label;
  }
}

TEST(MetricsTable, BeatsNdiMeanAndSd) {
  const LeadSet leads = usable_leads(default_layout());
  // Four orthogonal patterns; a beat on the first has NDI 0, on the fourth 1.
  const ReferenceGroup group = group_of({map_of({{1, 40}, {2, 40}}), map_of({{5, 30}}),
                                         map_of({{9, 20}}), map_of({{20, 8}, {21, 6}})},
                                        leads);
  StudyFile file;
  file.name = "f";
  file.beats = {beat_of(1, {{1, 5}, {2, 5}}), beat_of(2, {{20, 8}, {21, 6}})};
  const MetricsRow row = study_rows(file, leads, &group, false).front();
  ASSERT_TRUE(row.ndi_beats_mean && row.ndi_beats_sd);
  EXPECT_NEAR(*row.ndi_beats_mean, 0.5, 1e-12);
  EXPECT_NEAR(*row.ndi_beats_sd, 0.70710678118654752, 1e-12);
}

// Leads 1-3 over two beats: AT 0 and 10, 20 and (none), (none); RT 200
// and 220, 260 and 240, 230 and (none). Lead 3 has no AT, so no ARI.
TEST(MetricsTable, DispersionOfTheLeadTimes) {
  std::vector<BeatLeads> beats(2);
  beats[0].at_ms(1) = 0;
  beats[1].at_ms(1) = 10;
  beats[0].at_ms(2) = 20;
  beats[0].rt_ms(1) = 200;
  beats[1].rt_ms(1) = 220;
  beats[0].rt_ms(2) = 260;
  beats[1].rt_ms(2) = 240;
  beats[0].rt_ms(3) = 230;
  // Mean AT 5 and 20; mean RT 210, 250, 230 (SD 20); ARI 205 and 240.
  const LeadDispersion d = lead_dispersion(beats, {1, 2, 3});
  EXPECT_EQ(d.total_activation, 15);
  EXPECT_EQ(d.rt_range, 40);
  EXPECT_EQ(d.rt_sd, 20);
  EXPECT_EQ(d.ari_range, 35);
  ASSERT_TRUE(d.ari_sd);
  EXPECT_NEAR(*d.ari_sd, 24.748737341529164, 1e-12);  // 35 / sqrt(2)
  const LeadDispersion one_lead = lead_dispersion(beats, {3});
  EXPECT_EQ(one_lead.total_activation, std::nullopt) << "no lead activated";
  EXPECT_EQ(one_lead.rt_range, 0);
  EXPECT_EQ(one_lead.rt_sd, std::nullopt) << "an SD needs two leads";

  StudyFile file;
  file.name = "t.txt";
  file.beats = {beat_of(100, {}), beat_of(900, {})};
  file.leads = beats;
  const auto rows = study_rows(file, {1, 2, 3}, nullptr, true);
  const std::string csv = metrics_csv(rows, 0, true);
  EXPECT_NE(csv.find("\nt.txt,,,2,0,1,0,1,0,,,,,,,,15,35,24.748737341529164,40,20,,,\n"),
            std::string::npos)
      << csv;
  EXPECT_NE(csv.find("\nt.txt,2,900,,0,1,0,1,,,,,,,,,0,0,,20,14.142135623730951,,,\n"),
            std::string::npos)
      << "beat 2 alone: lead 1 timed, lead 2 only recovered (RT SD 20 / sqrt(2))\n"
      << csv;

  // Against a group whose members' total activation was 10 +- 5 ms.
  ReferenceGroup group;
  group.leads = {1, 2, 3};
  group.measures["total_activation_ms"] = {10, 5};
  group.measures["rt_dispersion_ms"] = {30, 0};  // no spread: no z
  const std::string with_group = metrics_csv(study_rows(file, {1, 2, 3}, &group, false), 0, false);
  EXPECT_TRUE(with_group.ends_with(",15,35,24.748737341529164,40,20,1,,\n")) << with_group;
}

TEST(KlBands, SpreadOfTheMembersCoefficients) {
  // Members' coefficients on the one vector (lead 1): 1, 2, 3.
  const ReferenceGroup group =
      group_of({map_of({{1, 1}}), map_of({{1, 2}}), map_of({{1, 3}})}, {1, 2});
  const std::vector<KlBand> bands = kl_bands(group);
  ASSERT_EQ(bands.size(), 1u);
  EXPECT_NEAR(bands[0].mean, 2.0, 1e-12);
  EXPECT_NEAR(bands[0].sd, 1.0, 1e-12);
}

TEST(LeadsWithoutSd, RunsOfLeadsNamed) {
  // Lead 1 of each map: 1, 2, 3; lead 6: 0, 0, 1; the others the same in
  // every map.
  const std::vector<LeadValues> maps = {map_of({{1, 1}, {3, 5}}), map_of({{1, 2}, {3, 5}}),
                                        map_of({{1, 3}, {3, 5}, {6, 1}})};
  struct Row {
    const char* label;
    LeadSet leads;
    std::optional<std::string> note;
  } rows[] = {
      {"one lead", {1, 2}, "lead 2"},
      {"a run up to a spread lead, a gap, a single lead", {1, 2, 3, 4, 5, 6, 8}, "leads 2-5, 8"},
      {"a run to the last lead", {1, 2, 3}, "leads 2-3"},
      {"every lead spread", {1, 6}, std::nullopt},
  };
  for (const Row& row : rows)
    EXPECT_EQ(name_leads(leads_without_sd(group_of(maps, row.leads))), row.note) << row.label;
}

}  // namespace
}  // namespace ba
