#pragma once
// What a study report shows, page by page, before anything is painted:
// the cohort table on the first page, then per result file its maps, its
// departure from the group, its KL coefficients beside the group's spread,
// the NDI of its beats over time and the choices kept in its analysis
// record (NAMEst.record.json beside NAMEst.txt) when there is one.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cohort/inputs.h"
#include "cohort/metrics.h"
#include "cohort/study.h"
#include "map/layout.h"
#include "map/lead_kinds.h"
#include "map/page.h"

namespace ba {

struct ReportFilePage {
  std::string file;
  std::vector<ResultBeat> beats;
  std::optional<Departure> departure;  // with a group
  std::vector<double> kl;              // of the mean map, with a group
  std::vector<KlBand> bands;           // the group's, one per coefficient
  // Per beat: R time in seconds and NDI, for the beats that have one.
  std::vector<std::pair<double, double>> ndi_over_time;
  // Label and value of each choice of the record, in reading order.
  std::vector<std::pair<std::string, std::string>> choices;
  std::string record_note;  // why there are no choices, when there are none
  // The lead table beside the file, for its AT and ARI maps.
  std::optional<std::vector<BeatLeads>> leads;
};

// The colour scales every file's maps share, so that a colour means the
// same on every page: mean maps diverging, SD maps sequential, each fitted
// to the values of every file at the mapped leads.
struct StudyScales {
  MapScale mean;
  MapScale sd;
  // The lowest and highest lead of the mean AT and ARI maps (ms) of the
  // files with a lead table; nothing when none has one.
  std::optional<std::pair<double, double>> activation;
  std::optional<std::pair<double, double>> ari;
};

// What the study's first pages show, gathered file by file before any
// file's page is made.
struct StudyReport {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;  // one per file, cells as text
  // With a group: per file its name and KL coefficients (columns "KL 1"..).
  std::vector<std::vector<std::string>> kl_rows;
  std::size_t kl_columns = 0;
  bool with_group = false;
  StudyScales scales;
  // The values the scales are fitted to so far: lowest and highest mean,
  // highest SD (nothing before the first file).
  std::optional<std::pair<double, double>> mean_range;
  double largest_sd = 0;
};

// Adds a file's row, its KL row with a group, and its maps' values to the
// scales (over the usable leads of `mapped`); its timing maps' too when
// `file.leads` holds its lead table.
void add_study_file(StudyReport& report, const StudyFile& file, const LeadSet& leads,
                    const ReferenceGroup* group, const LeadLayout& mapped);

// The analysis record beside a result file: its name with the last
// extension replaced by ".record.json".
std::string record_path(const std::string& result_path);

// The cohort table's row of a file's measures (from study_rows).
std::vector<std::string> report_columns();
std::vector<std::string> report_cells(const MetricsRow& row);

// The page of one file; `record_text` the record's bytes when one was read.
ReportFilePage describe_file(const StudyFile& file, const LeadSet& leads,
                             const ReferenceGroup* group,
                             const std::optional<std::string>& record_text);

// `layout` with only `leads` usable (the others bad, so they are left out
// of the interpolation); nothing when those leave no area to map: fewer
// than 4 or all on one line.
std::optional<LeadLayout> layout_over(const LeadLayout& layout, const LeadSet& leads);

// The departure as a map: z per lead on a fixed scale of +-4 SD, isolines
// every 1 SD, the leads without a z left out; nothing when too few leads
// have one to make a map.
std::optional<MapPage> departure_page(const Departure& found, const LeadLayout& layout);

}  // namespace ba
