#include "cohort/report.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "cohort/kind_group.h"
#include "map/field.h"
#include "map/geometry.h"

namespace ba {

namespace {

using nlohmann::json;

std::string value_text(const json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_float()) return number_text(value.get<double>());
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// The entry at `path` (object keys), or nothing.
const json* entry_at(const json& root, std::initializer_list<const char*> path) {
  const json* at = &root;
  for (const char* key : path) {
    if (!at->is_object()) return nullptr;
    const auto found = at->find(key);
    if (found == at->end()) return nullptr;
    at = &*found;
  }
  return at;
}

void read_choices(const std::string& text, ReportFilePage& page) {
  const json root = json::parse(text, nullptr, false);
  if (root.is_discarded() || !root.is_object()) {
    page.record_note = "the analysis record is not JSON";
    return;
  }
  const struct {
    const char* label;
    std::initializer_list<const char*> path;
  } choices[] = {
      {"measured by", {"measured_by"}},
      {"reference beat R (ms)", {"reference_beat", "r_ms"}},
      {"PQ point (ms from R)", {"fiducial_points", "pq", "ms_from_r"}},
      {"Q start (ms from R)", {"fiducial_points", "q_start", "ms_from_r"}},
      {"T end (ms from R)", {"fiducial_points", "t_end", "ms_from_r"}},
      {"correlation threshold", {"conditions", "correlation_threshold"}},
      {"amplitude ratio", {"conditions", "amplitude_ratio"}},
      {"leads", {"conditions", "leads"}},
      {"recording", {"recording", "file"}},
  };
  for (const auto& choice : choices)
    if (const json* value = entry_at(root, choice.path))
      page.choices.emplace_back(choice.label, value_text(*value));
  if (page.choices.empty()) page.record_note = "the analysis record names no choices";
}

// Four significant digits: the table is read, not parsed.
std::string shown(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", value);
  return text;
}

std::string cell(const std::optional<double>& value) {
  return value ? shown(*value) : std::string("-");
}

}  // namespace

std::string record_path(const std::string& result_path) {
  const std::size_t slash = result_path.find_last_of('/');
  const std::size_t dot = result_path.find_last_of('.');
  const bool has_extension =
      dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (has_extension ? result_path.substr(0, dot) : result_path) + ".record.json";
}

std::vector<std::string> report_columns() {
  return {"file",     "beats",           "max (lead)",   "min (lead)",     "variability",
          "NDI",      "beats' NDI mean", "SD",           "max |z| (lead)", "|z| >= 2",
          "|z| >= 3", "total AT ms",     "ARI range ms", "RT range ms"};
}

std::vector<std::string> report_cells(const MetricsRow& row) {
  const bool has_z = row.departure && row.departure->max_abs_z_lead != 0;
  auto with_lead = [](double value, int lead) {
    return shown(value) + " (" + std::to_string(lead) + ")";
  };
  return {row.file,
          std::to_string(row.beats),
          with_lead(row.extremes.max, row.extremes.max_lead),
          with_lead(row.extremes.min, row.extremes.min_lead),
          cell(row.variability),
          cell(row.ndi),
          cell(row.ndi_beats_mean),
          cell(row.ndi_beats_sd),
          has_z ? with_lead(row.departure->max_abs_z, row.departure->max_abs_z_lead) : "-",
          has_z ? std::to_string(row.departure->leads_z2) : "-",
          has_z ? std::to_string(row.departure->leads_z3) : "-",
          cell(row.timing.total_activation),
          cell(row.timing.ari_range),
          cell(row.timing.rt_range)};
}

void add_study_file(StudyReport& report, const StudyFile& file, const LeadSet& leads,
                    const ReferenceGroup* group, const LeadLayout& mapped) {
  const MetricsRow row = study_rows(file, leads, group, false).front();
  report.rows.push_back(report_cells(row));
  if (group) {
    std::vector<std::string> kl = {file.name};
    for (double c : row.kl) kl.push_back(shown(c));
    report.kl_rows.push_back(std::move(kl));
    report.kl_columns = std::max(report.kl_columns, row.kl.size());
  }
  const LeadValues mean = mean_values(file.beats, 1.0);
  const LeadValues sd = sd_values(file.beats, 1.0);
  for (int n : usable_leads(mapped)) {
    if (!report.mean_range)
      report.mean_range = {mean(n), mean(n)};
    else
      report.mean_range = std::pair{std::min(report.mean_range->first, mean(n)),
                                    std::max(report.mean_range->second, mean(n))};
    report.largest_sd = std::max(report.largest_sd, sd(n));
  }
  if (report.mean_range)
    report.scales.mean =
        fitted_scale(report.mean_range->first, report.mean_range->second, ColourScale::diverging);
  report.scales.sd = fitted_scale(0, report.largest_sd, ColourScale::sequential);
  if (!file.leads) return;
  const LeadSet timed_leads = usable_leads(mapped);
  for (auto [kind, range] : {std::pair{LeadKind::at, &report.scales.activation},
                             std::pair{LeadKind::ari, &report.scales.ari}}) {
    const KindMap map = kind_mean_map(*file.leads, kind, timed_leads);
    for (int n : timed_leads) {
      if (!map(n)) continue;
      *range = *range ? std::pair{std::min((*range)->first, *map(n)),
                                  std::max((*range)->second, *map(n))}
                      : std::pair{*map(n), *map(n)};
    }
  }
}

ReportFilePage describe_file(const StudyFile& file, const LeadSet& leads,
                             const ReferenceGroup* group,
                             const std::optional<std::string>& record_text) {
  ReportFilePage page;
  page.file = file.name;
  page.beats = file.beats;
  page.leads = file.leads;
  if (group) {
    const std::vector<LeadValues> maps = beat_maps(file.beats);
    const LeadValues mean = mean_map(maps, leads);
    page.departure = departure(*group, mean);
    page.kl = kl_coefficients(*group, mean);
    page.bands = kl_bands(*group);
    for (std::size_t b = 0; b < maps.size(); ++b)
      if (const auto ndi = non_dipolarity(kl_coefficients(*group, maps[b])))
        page.ndi_over_time.emplace_back(file.beats[b].r_ms / 1000.0, *ndi);
    std::stable_sort(page.ndi_over_time.begin(), page.ndi_over_time.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  }
  if (record_text)
    read_choices(*record_text, page);
  else
    page.record_note = "no analysis record beside the result file";
  return page;
}

std::optional<LeadLayout> layout_over(const LeadLayout& layout, const LeadSet& leads) {
  LeadLayout kept = layout;
  for (int n = 1; n <= lead_point_count; ++n) {
    const bool listed = std::find(leads.begin(), leads.end(), n) != leads.end();
    if (!listed && kept.leads(n).usable()) {
      kept.leads(n).bad = true;
      kept.regular_grid = false;  // the bicubic grid needs every lead
    }
  }
  const std::vector<MapPoint> hull = usable_hull(kept);
  if (hull.size() < 3 || !(hull_area(hull) > 0)) return std::nullopt;
  std::size_t usable = 0;
  for (int n = 1; n <= lead_point_count; ++n) usable += kept.leads(n).usable();
  if (usable < 4) return std::nullopt;
  return kept;
}

std::optional<MapPage> departure_page(const Departure& found, const LeadLayout& layout) {
  auto page = make_departure_page(found.z, layout);
  if (auto* made = std::get_if<MapPage>(&page)) return std::move(*made);
  return std::nullopt;
}

}  // namespace ba
