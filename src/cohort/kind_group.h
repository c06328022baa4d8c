#pragma once
// A reference group's maps of the other kinds (QRS and ST-T areas, AT, RT,
// ARI) from its members' lead tables, and a file's departure from them.

#include <optional>
#include <string>
#include <vector>

#include "cohort/study.h"
#include "map/lead_kinds.h"
#include "results/lead_table.h"

namespace ba {

// A file's mean map of `kind` at the leads: per lead the mean over the
// beats that give a value (ms for times); nothing where none does.
using KindMap = Array1<std::optional<double>, lead_point_count>;
KindMap kind_mean_map(const std::vector<BeatLeads>& table, LeadKind kind, const LeadSet& leads);

// Fills group.kinds from one lead table per member: per kind and lead the
// mean and SD (N - 1) over the members whose map has the lead (SD 0, so
// no z, where fewer than two have it).
void add_group_kinds(ReferenceGroup& group, const std::vector<std::vector<BeatLeads>>& tables);

// The group as a departure of `kind` reads it (that kind's mean and SD, no
// basis), with SD 0 at the leads `map` lacks; nothing when the group keeps
// no such kind.
std::optional<ReferenceGroup> group_of_kind(const ReferenceGroup& group, const std::string& kind,
                                            const KindMap& map);

}  // namespace ba
