#pragma once
// The measures of a study, one row per result file and, when asked, one per
// beat: the extremes of the map, beat-to-beat variability and, against a
// reference group, KL coefficients, non-dipolarity and departure. Written
// as CSV with the columns
//
//   file,[beat,r_ms,]beats,max,max_lead,min,min_lead,variability,ndi,
//   ndi_beats_mean,ndi_beats_sd,max_abs_z,max_abs_z_lead,leads_z2,leads_z3,
//   total_activation_ms,ari_dispersion_ms,ari_sd_ms,rt_dispersion_ms,rt_sd_ms,
//   total_activation_z,ari_dispersion_z,rt_dispersion_z,kl1..klK
//
// (beat and r_ms only with rows per beat; K the group's basis size, no KL
// columns without a group; the timing cells only with the file's lead
// table). A cell that has no value stays empty.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cohort/inputs.h"
#include "cohort/study.h"

namespace ba {

// From the lead table, over the study's leads, each lead's time the mean
// over the beats that time it (ms): the latest less the earliest AT, and
// the range and sample SD over leads of the ARI and of the RT.
struct LeadDispersion {
  std::optional<double> total_activation;
  std::optional<double> ari_range, ari_sd;
  std::optional<double> rt_range, rt_sd;
};
LeadDispersion lead_dispersion(const std::vector<BeatLeads>& beats, const LeadSet& leads);
// The three a group keeps and metrics compares, by their column names.
std::vector<std::pair<std::string, std::optional<double>>> timing_measures(const LeadDispersion& d);

struct MetricsRow {
  std::string file;
  int beat = 0;  // 1-based in time order; 0 for the row of the whole file
  std::int32_t r_ms = 0;
  int beats = 0;  // the file's row only
  LeadExtremes extremes;
  std::optional<double> variability;  // the file's row only
  std::optional<double> ndi;
  std::optional<double> ndi_beats_mean;  // the file's row only
  std::optional<double> ndi_beats_sd;
  std::optional<Departure> departure;  // with a group
  std::vector<double> kl;              // with a group
  LeadDispersion timing;               // with the lead table
  // Against a group that keeps them: (value - mean) / SD of the group's
  // members, per timing_measures; nothing where the SD is 0.
  std::array<std::optional<double>, 3> timing_z;
};

// The file's row, then one per beat when `per_beat`.
std::vector<MetricsRow> study_rows(const StudyFile& file, const LeadSet& leads,
                                   const ReferenceGroup* group, bool per_beat);

// Every row with its header line; `kl_columns` the group's basis size.
std::string metrics_csv(const std::vector<MetricsRow>& rows, std::size_t kl_columns, bool per_beat);

// The shortest text that reads back as the same double.
std::string number_text(double value);

// The spread of the group's own KL coefficients, from what the group file
// keeps: mean e_k . mu and variance N / (N - 1) (lambda_k - (e_k . mu)^2).
struct KlBand {
  double mean = 0;
  double sd = 0;
};
std::vector<KlBand> kl_bands(const ReferenceGroup& group);

}  // namespace ba
