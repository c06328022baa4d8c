#pragma once
// Comparing maps across people: the mean map and the beat-to-beat
// variability of one result file, a reference group built from the mean maps
// of several files (mean and SD per lead, Karhunen-Loeve basis), the KL
// coefficients and the non-dipolarity index of a map, and its departure from
// the group in SD units.
//
// Every map here is a LeadValues (leads 1..64) read only at the leads of a
// LeadSet: the usable leads of a layout, the same for a group and for every
// file measured against it.

#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "map/layout.h"
#include "map/values.h"
#include "results/beat.h"

namespace ba {

// Lead numbers, ascending, each 1..64.
using LeadSet = std::vector<int>;

// The usable leads of a layout.
LeadSet usable_leads(const LeadLayout& layout);

// The beats' maps (areas as they are, unscaled).
std::vector<LeadValues> beat_maps(const std::vector<ResultBeat>& beats);
// The mean of the maps at the leads; zero elsewhere. Needs at least one map.
LeadValues mean_map(const std::vector<LeadValues>& maps, const LeadSet& leads);
// sqrt(mean over the leads of SD_l^2), SD over the maps with n - 1; nothing
// for fewer than two maps or no leads.
std::optional<double> variability(const std::vector<LeadValues>& maps, const LeadSet& leads);

// At most this many KL basis vectors are kept.
inline constexpr int largest_basis = 12;
// A group needs at least this many files; NDI this many basis vectors.
inline constexpr int smallest_group = 3;
inline constexpr int smallest_ndi_basis = 4;
// A group's SD below this is no spread of whole-number areas but rounding
// left by equal maps (about 1e-16 of their size): it counts as 0, no z.
inline constexpr double smallest_spread = 1e-9;

// An eigenvalue of S counts toward its rank when it exceeds this share of the
// largest one. The solver's eigenvalues carry an absolute error of a few
// machine epsilons times the largest (about 1e-14 of it for 64 leads); the
// maps are whole-number areas, so a real component of a map 1e5 times
// weaker than the strongest still lies far above this line.
inline constexpr double rank_tolerance = 1e-10;

struct KlComponent {
  double eigenvalue = 0;
  LeadValues vector;  // unit length over the leads, zero elsewhere
};

struct ReferenceGroup {
  LeadSet leads;
  int count = 0;                   // files in the group
  LeadValues mean;                 // mu per lead
  LeadValues sd;                   // sigma per lead, N - 1
  std::vector<KlComponent> basis;  // by decreasing eigenvalue
  struct Member {
    std::string name;
    std::string sha256;  // lower-case hex of the result file's bytes
  };
  std::vector<Member> members;  // in the order given, when known
  // The members' mean maps of other kinds than the QRST area, by kind name
  // ("qrs", "stt", "at", "rt", "ari"; times in ms), from their lead tables:
  // mean and SD (N - 1) per lead. None in a group made without them.
  struct KindSpread {
    LeadValues mean;
    LeadValues sd;
  };
  std::map<std::string, KindSpread> kinds;
  // The members' timing measures (as metrics names them: total_activation_ms,
  // ari_dispersion_ms, rt_dispersion_ms): mean and SD (N - 1) over the
  // members that give one, from the same lead tables.
  struct MeasureSpread {
    double mean = 0;
    double sd = 0;
  };
  std::map<std::string, MeasureSpread> measures;
};

// From the files' mean maps at the leads; the reason when it cannot be made
// (fewer than 3 maps, no leads). Members are left for the caller to fill.
using GroupOutcome = std::variant<ReferenceGroup, std::string>;
GroupOutcome make_reference_group(const std::vector<LeadValues>& means, const LeadSet& leads);

// c_k = e_k . x over the group's leads, one per basis vector.
std::vector<double> kl_coefficients(const ReferenceGroup& group, const LeadValues& map);
// sum_{k>=4} c_k^2 / sum c_k^2; nothing with fewer than 4 coefficients or a
// map without energy in the basis.
std::optional<double> non_dipolarity(const std::vector<double>& coefficients);

// z_l = (m_l - mu_l) / sigma_l; a lead with sigma 0 has no z and is named in
// `left_out`.
struct Departure {
  Array1<std::optional<double>, lead_point_count> z;
  LeadSet left_out;
  double max_abs_z = 0;    // over the leads with a z, the first lead on a tie
  int max_abs_z_lead = 0;  // 0 when no lead has a z
  int leads_z2 = 0;        // leads with |z| >= 2
  int leads_z3 = 0;        // leads with |z| >= 3
};
Departure departure(const ReferenceGroup& group, const LeadValues& map);

}  // namespace ba
