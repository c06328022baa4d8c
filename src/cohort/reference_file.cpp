#include "cohort/reference_file.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>

#include "runtime/errors.h"

namespace ba {

namespace {

using nlohmann::json;

nlohmann::ordered_json lead_array(const LeadValues& values, const LeadSet& leads) {
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (int n : leads) array.push_back(values(n));
  return array;
}

const json& member(const json& object, const char* name) {
  const auto found = object.find(name);
  if (found == object.end()) throw Refusal{std::string("has no \"") + name + "\""};
  return *found;
}

long whole(const json& object, const char* name) {
  const json& value = member(object, name);
  if (!value.is_number_integer()) throw Refusal{std::string("\"") + name + "\" is no whole number"};
  if (value.is_number_unsigned()) {
    const auto unsigned_value = value.get<std::uint64_t>();
    if (unsigned_value > 1000000) throw Refusal{std::string("\"") + name + "\" is too large"};
    return static_cast<long>(unsigned_value);
  }
  const auto signed_value = value.get<std::int64_t>();
  if (signed_value < -1000000 || signed_value > 1000000)
    throw Refusal{std::string("\"") + name + "\" is too large"};
  return static_cast<long>(signed_value);
}

double finite(const json& value, const std::string& what) {
  if (!value.is_number()) throw Refusal{what + " is no number"};
  const double number = value.get<double>();
  if (!std::isfinite(number)) throw Refusal{what + " is not finite"};
  return number;
}

// One number per lead, into a map.
LeadValues per_lead(const json& object, const char* name, const LeadSet& leads) {
  const json& array = member(object, name);
  if (!array.is_array() || array.size() != leads.size())
    throw Refusal{std::string("\"") + name + "\" does not hold one number per lead"};
  LeadValues values;
  std::size_t i = 0;
  for (int n : leads) values(n) = finite(array[i++], std::string("a value of \"") + name + "\"");
  return values;
}

LeadSet read_leads(const json& object) {
  const json& array = member(object, "leads");
  if (!array.is_array() || array.empty()) throw Refusal{"\"leads\" names no leads"};
  LeadSet leads;
  for (const json& value : array) {
    if (!value.is_number_integer()) throw Refusal{"\"leads\" holds something other than a lead"};
    const auto lead = value.get<std::int64_t>();
    if (value.is_number_unsigned() && value.get<std::uint64_t>() > lead_point_count)
      throw Refusal{"\"leads\" names a lead outside 1..64"};
    if (lead < 1 || lead > lead_point_count) throw Refusal{"\"leads\" names a lead outside 1..64"};
    if (!leads.empty() && lead <= leads.back())
      throw Refusal{"\"leads\" are not in ascending order, each once"};
    leads.push_back(static_cast<int>(lead));
  }
  return leads;
}

// Areas are 32-bit whole numbers, so a mean or an SD of them lies within
// 1e10; the eigenvalues of their second moments over 64 leads within 1e22.
// A positive SD below smallest_spread would blow a z up past every finite
// number.
constexpr double largest_area_value = 1e10;
constexpr double largest_eigenvalue = 1e22;
// Basis vectors are written with 17 digits: their dot products lie within
// about 1e-15 of 0 or 1; this allows for a file made elsewhere.
constexpr double orthonormal_tolerance = 1e-6;

void check_magnitudes(const ReferenceGroup& group) {
  for (int n : group.leads) {
    if (std::abs(group.mean(n)) > largest_area_value)
      throw Refusal{"\"mean\" holds a value beyond 1e10"};
    if (group.sd(n) < 0) throw Refusal{"\"sd\" holds a negative value"};
    if (group.sd(n) > largest_area_value) throw Refusal{"\"sd\" holds a value beyond 1e10"};
    if (group.sd(n) > 0 && group.sd(n) < smallest_spread)
      throw Refusal{"\"sd\" holds a value between 0 and 1e-9"};
  }
}

// Every basis vector of unit length and at right angles to the others.
void check_orthonormal(const ReferenceGroup& group) {
  for (std::size_t a = 0; a < group.basis.size(); ++a)
    for (std::size_t b = a; b < group.basis.size(); ++b) {
      double dot = 0;
      for (int n : group.leads) dot += group.basis[a].vector(n) * group.basis[b].vector(n);
      const double expected = a == b ? 1 : 0;
      if (!(std::abs(dot - expected) <= orthonormal_tolerance))
        throw Refusal{a == b ? "basis vector " + std::to_string(a + 1) + " is not of unit length"
                             : "basis vectors " + std::to_string(a + 1) + " and " +
                                   std::to_string(b + 1) + " are not at right angles"};
    }
}

std::string text_member(const json& object, const char* name) {
  const json& value = member(object, name);
  if (!value.is_string()) throw Refusal{std::string("\"") + name + "\" is no text"};
  return value.get<std::string>();
}

// Refuses a document that is not a reference group of this version.
void check_format(const json& document) {
  if (!document.is_object() || !document.contains("format") ||
      document["format"] != std::string(reference_format))
    throw Refusal{"is not a reference group (its format is not \"" + std::string(reference_format) +
                  "\")"};
  const long version = whole(document, "version");
  if (version != reference_version)
    throw Refusal{"is a reference group of version " + std::to_string(version) +
                  "; this program reads version " + std::to_string(reference_version)};
}

// The KL basis, by decreasing eigenvalue, over `leads` (not yet checked to
// be orthonormal).
std::vector<KlComponent> read_basis(const json& document, const LeadSet& leads) {
  const json& basis = member(document, "basis");
  if (!basis.is_array()) throw Refusal{"\"basis\" is no list"};
  if (basis.size() > static_cast<std::size_t>(largest_basis) || basis.size() > leads.size())
    throw Refusal{"\"basis\" holds more vectors than a group can have"};
  std::vector<KlComponent> components;
  for (const json& entry : basis) {
    if (!entry.is_object()) throw Refusal{"\"basis\" holds something other than a vector"};
    KlComponent component;
    component.eigenvalue = finite(member(entry, "eigenvalue"), "an eigenvalue");
    if (component.eigenvalue < 0) throw Refusal{"an eigenvalue is negative"};
    if (!components.empty() && component.eigenvalue > components.back().eigenvalue)
      throw Refusal{"the eigenvalues are not in decreasing order"};
    if (component.eigenvalue > largest_eigenvalue) throw Refusal{"an eigenvalue is too large"};
    component.vector = per_lead(entry, "vector", leads);
    components.push_back(component);
  }
  return components;
}

// Calls `read` with the name and value of each entry of the object `name`
// in `document`, when it has one; each must be an object (`what` says of
// what).
template <typename Read>
void read_entries(const json& document, const char* name, const char* what, Read read) {
  if (!document.contains(name)) return;
  const json& entries = document[name];
  const std::string quoted = std::string("\"") + name + "\"";
  if (!entries.is_object()) throw Refusal{quoted + " is no object"};
  for (const auto& [key, entry] : entries.items()) {
    if (!entry.is_object()) throw Refusal{quoted + " holds something other than " + what};
    read(key, entry);
  }
}

// The other kinds' spreads over `leads`; none in a group made before lead
// tables.
std::map<std::string, ReferenceGroup::KindSpread> read_kinds(const json& document,
                                                             const LeadSet& leads) {
  std::map<std::string, ReferenceGroup::KindSpread> read;
  read_entries(document, "kinds", "a kind", [&](const std::string& name, const json& spread) {
    ReferenceGroup::KindSpread& kind = read[name];
    kind.mean = per_lead(spread, "mean", leads);
    kind.sd = per_lead(spread, "sd", leads);
    for (int n : leads)
      if (kind.sd(n) < 0) throw Refusal{"\"sd\" of kind \"" + name + "\" holds a negative value"};
  });
  return read;
}

// The timing measures' spreads, when the group keeps them.
std::map<std::string, ReferenceGroup::MeasureSpread> read_measures(const json& document) {
  std::map<std::string, ReferenceGroup::MeasureSpread> read;
  read_entries(document, "measures", "a measure", [&](const std::string& name, const json& spread) {
    ReferenceGroup::MeasureSpread& measure = read[name];
    measure.mean = finite(member(spread, "mean"), "a measure's mean");
    measure.sd = finite(member(spread, "sd"), "a measure's SD");
    if (measure.sd < 0) throw Refusal{"a measure's SD is negative"};
  });
  return read;
}

// The names and digests of the group's `count` files.
std::vector<ReferenceGroup::Member> read_members(const json& document, long count) {
  const json& files = member(document, "files");
  if (!files.is_array() || files.size() != static_cast<std::size_t>(count))
    throw Refusal{"\"files\" does not name \"count\" files"};
  std::vector<ReferenceGroup::Member> members;
  for (const json& entry : files) {
    if (!entry.is_object()) throw Refusal{"\"files\" holds something other than a file"};
    ReferenceGroup::Member file;
    file.name = text_member(entry, "name");
    file.sha256 = text_member(entry, "sha256");
    members.push_back(file);
  }
  return members;
}

ReferenceGroup read_group(const json& document) {
  check_format(document);
  ReferenceGroup group;
  const long count = whole(document, "count");
  if (count < smallest_group)
    throw Refusal{"\"count\" is " + std::to_string(count) + "; a group has at least " +
                  std::to_string(smallest_group) + " files"};
  group.count = static_cast<int>(count);
  group.leads = read_leads(document);
  group.mean = per_lead(document, "mean", group.leads);
  group.sd = per_lead(document, "sd", group.leads);
  check_magnitudes(group);
  group.basis = read_basis(document, group.leads);
  check_orthonormal(group);
  group.kinds = read_kinds(document, group.leads);
  group.measures = read_measures(document);
  group.members = read_members(document, count);
  return group;
}

}  // namespace

std::string reference_group_json(const ReferenceGroup& group) {
  nlohmann::ordered_json document = nlohmann::ordered_json::object();
  document["format"] = std::string(reference_format);
  document["version"] = reference_version;
  document["count"] = group.count;
  document["leads"] = group.leads;
  document["mean"] = lead_array(group.mean, group.leads);
  document["sd"] = lead_array(group.sd, group.leads);
  nlohmann::ordered_json basis = nlohmann::ordered_json::array();
  for (const KlComponent& component : group.basis)
    basis.push_back({{"eigenvalue", component.eigenvalue},
                     {"vector", lead_array(component.vector, group.leads)}});
  document["basis"] = basis;
  if (!group.kinds.empty()) {
    nlohmann::ordered_json kinds = nlohmann::ordered_json::object();
    for (const auto& [name, spread] : group.kinds)
      kinds[name] = {{"mean", lead_array(spread.mean, group.leads)},
                     {"sd", lead_array(spread.sd, group.leads)}};
    document["kinds"] = kinds;
  }
  if (!group.measures.empty()) {
    nlohmann::ordered_json measures = nlohmann::ordered_json::object();
    for (const auto& [name, spread] : group.measures)
      measures[name] = {{"mean", spread.mean}, {"sd", spread.sd}};
    document["measures"] = measures;
  }
  nlohmann::ordered_json files = nlohmann::ordered_json::array();
  for (const ReferenceGroup::Member& file : group.members)
    files.push_back({{"name", file.name}, {"sha256", file.sha256}});
  document["files"] = files;
  // File names that are not UTF-8 are kept readable, bytes replaced.
  return document.dump(1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

ReferenceText parse_reference_group(std::string_view text) {
  const json document = json::parse(text.begin(), text.end(), nullptr, false);
  if (document.is_discarded()) return std::string("is not JSON");
  try {
    return read_group(document);
  } catch (const Refusal& refusal) {
    return refusal.reason;
  }
}

}  // namespace ba
