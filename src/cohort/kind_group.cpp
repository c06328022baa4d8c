#include "cohort/kind_group.h"

#include <algorithm>
#include <cmath>

#include "cohort/metrics.h"

namespace ba {

namespace {

constexpr LeadKind other_kinds[] = {LeadKind::qrs, LeadKind::stt, LeadKind::at, LeadKind::rt,
                                    LeadKind::ari};

}  // namespace

KindMap kind_mean_map(const std::vector<BeatLeads>& table, LeadKind kind, const LeadSet& leads) {
  KindMap map;
  if (table.empty()) return map;
  const KindBeats beats = kind_beats(table, kind);
  for (int lead : leads) {
    if (std::find(beats.untimed_leads.begin(), beats.untimed_leads.end(), lead) !=
        beats.untimed_leads.end())
      continue;
    // Untimed cells hold the lead's mean already: the mean over all beats is it.
    double sum = 0;
    for (const ResultBeat& beat : beats.beats) sum += beat.areas(lead);
    map(lead) = sum / static_cast<double>(beats.beats.size()) * beats.scale;
  }
  return map;
}

void add_group_kinds(ReferenceGroup& group, const std::vector<std::vector<BeatLeads>>& tables) {
  for (LeadKind kind : other_kinds) {
    std::vector<KindMap> maps;
    for (const auto& table : tables) maps.push_back(kind_mean_map(table, kind, group.leads));
    ReferenceGroup::KindSpread spread;
    for (int lead : group.leads) {
      std::vector<double> values;
      for (const KindMap& map : maps)
        if (map(lead)) values.push_back(*map(lead));
      if (values.empty()) continue;
      double sum = 0;
      for (double v : values) sum += v;
      const double mean = sum / static_cast<double>(values.size());
      double squares = 0;
      for (double v : values) squares += (v - mean) * (v - mean);
      spread.mean(lead) = mean;
      spread.sd(lead) =
          values.size() < 2 ? 0 : std::sqrt(squares / static_cast<double>(values.size() - 1));
    }
    group.kinds[lead_kind_name(kind)] = spread;
  }
  std::map<std::string, std::vector<double>> measures;
  for (const auto& table : tables) {
    const LeadDispersion d = lead_dispersion(table, group.leads);
    for (const auto& [name, value] : timing_measures(d))
      if (value) measures[name].push_back(*value);
  }
  for (const auto& [name, values] : measures) {
    double sum = 0;
    for (double v : values) sum += v;
    const double mean = sum / static_cast<double>(values.size());
    double squares = 0;
    for (double v : values) squares += (v - mean) * (v - mean);
    group.measures[name] = {
        mean, values.size() < 2 ? 0 : std::sqrt(squares / static_cast<double>(values.size() - 1))};
  }
}

std::optional<ReferenceGroup> group_of_kind(const ReferenceGroup& group, const std::string& kind,
                                            const KindMap& map) {
  const auto found = group.kinds.find(kind);
  if (found == group.kinds.end()) return std::nullopt;
  ReferenceGroup of_kind = group;
  of_kind.mean = found->second.mean;
  of_kind.sd = found->second.sd;
  of_kind.basis.clear();
  of_kind.kinds.clear();
  for (int lead : group.leads)
    if (!map(lead)) of_kind.sd(lead) = 0;
  return of_kind;
}

}  // namespace ba
