#include "cohort/metrics.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "runtime/text_kit.h"

namespace ba {

namespace {

// Mean and sample SD (n - 1) of the values; nothing where too few.
std::pair<std::optional<double>, std::optional<double>> mean_and_sd(
    const std::vector<double>& values) {
  if (values.empty()) return {};
  double sum = 0;
  for (double v : values) sum += v;
  const double mean = sum / static_cast<double>(values.size());
  if (values.size() < 2) return {mean, std::nullopt};
  double squares = 0;
  for (double v : values) squares += (v - mean) * (v - mean);
  return {mean, std::sqrt(squares / static_cast<double>(values.size() - 1))};
}

std::string cell(const std::optional<double>& value) {
  return value ? number_text(*value) : std::string();
}

std::string whole_cell(long value, bool shown) {
  return shown ? std::to_string(value) : std::string();
}

// Per lead the mean over the beats of what `time` gives, where it gives one.
template <typename Time>
std::vector<double> lead_means(const std::vector<BeatLeads>& beats, const LeadSet& leads,
                               Time time) {
  std::vector<double> means;
  for (int lead : leads) {
    double sum = 0;
    int count = 0;
    for (const BeatLeads& beat : beats)
      if (const std::optional<std::int32_t> t = time(beat, lead)) sum += *t, ++count;
    if (count > 0) means.push_back(sum / count);
  }
  return means;
}

std::optional<double> range_of(const std::vector<double>& values) {
  if (values.empty()) return std::nullopt;
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  return *high - *low;
}

// The z of each timing measure against the group's members.
std::array<std::optional<double>, 3> timing_z(const LeadDispersion& d,
                                              const ReferenceGroup* group) {
  std::array<std::optional<double>, 3> z;
  if (!group) return z;
  const auto measures = timing_measures(d);
  for (std::size_t k = 0; k < z.size(); ++k) {
    const auto found = group->measures.find(measures[k].first);
    if (measures[k].second && found != group->measures.end() && found->second.sd > 0)
      z[k] = (*measures[k].second - found->second.mean) / found->second.sd;
  }
  return z;
}

}  // namespace

LeadDispersion lead_dispersion(const std::vector<BeatLeads>& beats, const LeadSet& leads) {
  LeadDispersion d;
  d.total_activation = range_of(
      lead_means(beats, leads, [](const BeatLeads& b, int lead) { return b.at_ms(lead); }));
  const std::vector<double> ari = lead_means(beats, leads, ari_ms);
  d.ari_range = range_of(ari);
  d.ari_sd = mean_and_sd(ari).second;
  const std::vector<double> rt =
      lead_means(beats, leads, [](const BeatLeads& b, int lead) { return b.rt_ms(lead); });
  d.rt_range = range_of(rt);
  d.rt_sd = mean_and_sd(rt).second;
  return d;
}

std::vector<std::pair<std::string, std::optional<double>>> timing_measures(
    const LeadDispersion& d) {
  return {{"total_activation_ms", d.total_activation},
          {"ari_dispersion_ms", d.ari_range},
          {"rt_dispersion_ms", d.rt_range}};
}

std::string number_text(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::vector<MetricsRow> study_rows(const StudyFile& file, const LeadSet& leads,
                                   const ReferenceGroup* group, bool per_beat) {
  const std::vector<LeadValues> maps = beat_maps(file.beats);
  const LeadValues mean = mean_map(maps, leads);
  std::vector<MetricsRow> rows(1);
  MetricsRow& whole = rows.front();
  whole.file = file.name;
  whole.beats = static_cast<int>(file.beats.size());
  whole.extremes = lead_extremes(mean, leads);
  whole.variability = variability(maps, leads);
  if (group) {
    whole.kl = kl_coefficients(*group, mean);
    whole.ndi = non_dipolarity(whole.kl);
    whole.departure = departure(*group, mean);
  }
  // Beats numbered in the order of their R times, as the maps number them.
  std::vector<std::size_t> order(maps.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return file.beats[a].r_ms < file.beats[b].r_ms;
  });
  if (file.leads) {
    whole.timing = lead_dispersion(*file.leads, leads);
    whole.timing_z = timing_z(whole.timing, group);
  }
  std::vector<double> beat_ndis;
  for (std::size_t k = 0; k < order.size(); ++k) {
    const std::size_t b = order[k];
    MetricsRow row;
    row.file = file.name;
    row.beat = static_cast<int>(k + 1);
    row.r_ms = file.beats[b].r_ms;
    row.extremes = lead_extremes(maps[b], leads);
    if (file.leads) {
      row.timing = lead_dispersion({(*file.leads)[b]}, leads);
      row.timing_z = timing_z(row.timing, group);
    }
    if (group) {
      row.kl = kl_coefficients(*group, maps[b]);
      row.ndi = non_dipolarity(row.kl);
      row.departure = departure(*group, maps[b]);
      if (row.ndi) beat_ndis.push_back(*row.ndi);
    }
    if (per_beat) rows.push_back(std::move(row));
  }
  std::tie(rows.front().ndi_beats_mean, rows.front().ndi_beats_sd) = mean_and_sd(beat_ndis);
  return rows;
}

std::string metrics_csv(const std::vector<MetricsRow>& rows, std::size_t kl_columns,
                        bool per_beat) {
  std::string text = per_beat ? "file,beat,r_ms,beats" : "file,beats";
  text +=
      ",max,max_lead,min,min_lead,variability,ndi,ndi_beats_mean,ndi_beats_sd,max_abs_z,"
      "max_abs_z_lead,leads_z2,leads_z3,total_activation_ms,ari_dispersion_ms,ari_sd_ms,"
      "rt_dispersion_ms,rt_sd_ms,total_activation_z,ari_dispersion_z,rt_dispersion_z";
  for (std::size_t k = 1; k <= kl_columns; ++k) text += ",kl" + std::to_string(k);
  text += "\n";
  for (const MetricsRow& row : rows) {
    const bool file_row = row.beat == 0;
    std::vector<std::string> cells = {csv_quoted(row.file)};
    if (per_beat) {
      cells.push_back(whole_cell(row.beat, !file_row));
      cells.push_back(whole_cell(row.r_ms, !file_row));
    }
    cells.push_back(whole_cell(row.beats, file_row));
    cells.push_back(number_text(row.extremes.max));
    cells.push_back(std::to_string(row.extremes.max_lead));
    cells.push_back(number_text(row.extremes.min));
    cells.push_back(std::to_string(row.extremes.min_lead));
    cells.push_back(cell(row.variability));
    cells.push_back(cell(row.ndi));
    cells.push_back(cell(row.ndi_beats_mean));
    cells.push_back(cell(row.ndi_beats_sd));
    const bool has_z = row.departure && row.departure->max_abs_z_lead != 0;
    cells.push_back(has_z ? number_text(row.departure->max_abs_z) : std::string());
    cells.push_back(whole_cell(has_z ? row.departure->max_abs_z_lead : 0, has_z));
    cells.push_back(whole_cell(row.departure ? row.departure->leads_z2 : 0, has_z));
    cells.push_back(whole_cell(row.departure ? row.departure->leads_z3 : 0, has_z));
    for (const auto& value : {row.timing.total_activation, row.timing.ari_range, row.timing.ari_sd,
                              row.timing.rt_range, row.timing.rt_sd})
      cells.push_back(cell(value));
    for (const auto& z : row.timing_z) cells.push_back(cell(z));
    for (std::size_t k = 0; k < kl_columns; ++k)
      cells.push_back(k < row.kl.size() ? number_text(row.kl[k]) : std::string());
    for (std::size_t i = 0; i < cells.size(); ++i) text += (i ? "," : "") + cells[i];
    text += "\n";
  }
  return text;
}

std::vector<KlBand> kl_bands(const ReferenceGroup& group) {
  const std::vector<double> centres = kl_coefficients(group, group.mean);
  std::vector<KlBand> bands;
  const double n = group.count;
  for (std::size_t k = 0; k < group.basis.size(); ++k) {
    const double variance = n / (n - 1) * (group.basis[k].eigenvalue - centres[k] * centres[k]);
    bands.push_back({centres[k], std::sqrt(std::max(variance, 0.0))});
  }
  return bands;
}

}  // namespace ba
