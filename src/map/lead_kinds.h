#pragma once
// What a map can show of each lead besides the QRST area: its QRS or ST-T
// part, or its activation time (AT), recovery time (RT) or the interval
// between them (ARI), taken from the lead table beside the result file.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "map/page.h"
#include "results/beat.h"
#include "results/lead_table.h"

namespace ba {

enum class LeadKind { qrst, qrs, stt, at, rt, ari };

// "qrst", "qrs", "stt", "at", "rt" or "ari"; nothing for any other name.
std::optional<LeadKind> lead_kind_named(std::string_view name);
bool is_timing(LeadKind kind);
// The name lead_kind_named reads.
std::string lead_kind_name(LeadKind kind);
// The unit a map of the kind names under its scale: "AQRST", "AT ms", ...
std::string lead_kind_unit(LeadKind kind);

// The beats as a map takes them, one value per lead. Times are kept in us
// (whole numbers), so `scale` (0.001) turns them into ms; a lead untimed in
// a beat takes its mean over the beats that time it, so that the mean map
// is the mean of the times measured. Leads timed in no beat are listed.
struct KindBeats {
  std::vector<ResultBeat> beats;
  std::vector<int> untimed_leads;
  double scale = 1;
};
KindBeats kind_beats(const std::vector<BeatLeads>& table, LeadKind kind);

// A page made from kind_beats named for its kind: "QRST integral map" in
// the title becomes, say, "Activation time map". A timing map that is not a
// standard deviation, a difference or a departure then runs on a sequential scale from the earliest
// to the latest isochrone, every 5 ms (10 ms over a range past 60 ms), none heavier.
void shape_kind_page(MapPage& page, LeadKind kind);

// The sequential scale shape_kind_page gives a timing map, fitted to
// low..high (ms) instead of the page's own values: for maps that share one
// scale.
void fit_timing_scale(MapPage& page, double low, double high);

}  // namespace ba
