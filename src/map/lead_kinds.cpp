#include "map/lead_kinds.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ba {

namespace {

constexpr double us_per_ms = 1000;
constexpr double fine_isochrone_ms = 5;
constexpr double coarse_isochrone_ms = 10;
constexpr double widest_fine_range_ms = 60;  // past this, isochrones every 10 ms

struct KindName {
  LeadKind kind;
  std::string_view name;
  const char* title;  // replaces "QRST integral map" in the page title
};
constexpr std::array<KindName, 6> kind_names{{
    {LeadKind::qrst, "qrst", "QRST integral map"},
    {LeadKind::qrs, "qrs", "QRS integral map"},
    {LeadKind::stt, "stt", "ST-T integral map"},
    {LeadKind::at, "at", "Activation time map"},
    {LeadKind::rt, "rt", "Recovery time map"},
    {LeadKind::ari, "ari", "Activation-recovery interval map"},
}};

std::optional<std::int32_t> cell(const BeatLeads& beat, long lead, LeadKind kind) {
  switch (kind) {
    case LeadKind::qrst:
      return beat.qrst_area(lead);
    case LeadKind::qrs:
      return beat.qrs_area(lead);
    case LeadKind::stt:
      return beat.stt_area(lead);
    case LeadKind::at:
      return beat.at_ms(lead);
    case LeadKind::rt:
      return beat.rt_ms(lead);
    case LeadKind::ari:
      return ari_ms(beat, lead);
  }
  return std::nullopt;
}

// The lowest and highest value of the page's usable leads over its frames.
std::optional<std::pair<double, double>> value_range(const MapPage& page) {
  std::optional<std::pair<double, double>> range;
  for (const MapFrame& frame : page.frames)
    for (long n = 1; n <= lead_point_count; ++n) {
      if (!page.layout.leads(n).usable()) continue;
      const double v = frame.values(n);
      range = range ? std::pair{std::min(range->first, v), std::max(range->second, v)}
                    : std::pair{v, v};
    }
  return range;
}

}  // namespace

std::optional<LeadKind> lead_kind_named(std::string_view name) {
  for (const KindName& k : kind_names)
    if (k.name == name) return k.kind;
  return std::nullopt;
}

std::string lead_kind_unit(LeadKind kind) {
  switch (kind) {
    case LeadKind::qrs:
      return "AQRS";
    case LeadKind::stt:
      return "ASTT";
    case LeadKind::at:
      return "AT ms";
    case LeadKind::rt:
      return "RT ms";
    case LeadKind::ari:
      return "ARI ms";
    case LeadKind::qrst:
      break;
  }
  return "AQRST";
}

std::string lead_kind_name(LeadKind kind) {
  for (const KindName& k : kind_names)
    if (k.kind == kind) return std::string(k.name);
  return {};
}

bool is_timing(LeadKind kind) {
  return kind == LeadKind::at || kind == LeadKind::rt || kind == LeadKind::ari;
}

KindBeats kind_beats(const std::vector<BeatLeads>& table, LeadKind kind) {
  KindBeats out;
  const bool timing = is_timing(kind);
  const double factor = timing ? us_per_ms : 1;
  out.scale = timing ? 1 / us_per_ms : 1;
  out.beats.resize(table.size());
  for (long lead = 1; lead <= lead_point_count; ++lead) {
    double sum = 0;
    int count = 0;
    for (const BeatLeads& beat : table)
      if (const auto value = cell(beat, lead, kind)) sum += *value, ++count;
    if (count == 0) out.untimed_leads.push_back(static_cast<int>(lead));
    const double mean = count > 0 ? sum / count : 0;
    for (std::size_t k = 0; k < table.size(); ++k) {
      const auto value = cell(table[k], lead, kind);
      out.beats[k].r_ms = table[k].r_ms;
      out.beats[k].areas(lead) =
          static_cast<std::int32_t>(std::lround((value ? *value : mean) * factor));
    }
  }
  return out;
}

void shape_kind_page(MapPage& page, LeadKind kind) {
  const std::string_view from = kind_names[0].title;
  for (const KindName& k : kind_names)
    if (k.kind == kind && page.title.starts_with(from)) page.title.replace(0, from.size(), k.title);
  // Spreads, differences and departures keep their scales.
  if (!is_timing(kind) || page.kind == MapKind::sd || page.kind == MapKind::difference ||
      page.kind == MapKind::departure)
    return;
  const auto range = value_range(page);
  if (!range) return;
  fit_timing_scale(page, range->first, range->second);
}

void fit_timing_scale(MapPage& page, double low, double high) {
  const double step = high - low > widest_fine_range_ms ? coarse_isochrone_ms : fine_isochrone_ms;
  page.scale = ColourScale::sequential;
  page.step = step;
  page.bottom = std::floor(low / step) * step;
  page.limit = std::max(std::ceil(high / step) * step, *page.bottom + step);
  page.heavy_levels.clear();
}

}  // namespace ba
