// A group's maps of the other kinds, worked out by hand from small tables.

#include "cohort/kind_group.h"

#include <gtest/gtest.h>

#include <cmath>

#include "cohort/reference_file.h"

namespace ba {
namespace {

// One beat per member: lead 1 activated at `at1` ms, lead 2 only when
// `at2` is given, lead 3 never; QRS area 4 x at1 at lead 1.
std::vector<BeatLeads> member(std::int32_t at1, std::optional<std::int32_t> at2) {
  std::vector<BeatLeads> table(1);
  table[0].at_ms(1) = at1;
  table[0].at_ms(2) = at2;
  table[0].qrs_area(1) = 4 * at1;
  return table;
}

TEST(KindGroup, MeanAndSpreadOverTheMembersThatGiveALead) {
  ReferenceGroup group;
  group.leads = {1, 2, 3};
  add_group_kinds(group, {member(10, 7), member(20, std::nullopt), member(30, std::nullopt)});
  ASSERT_EQ(group.kinds.size(), 5u);
  const ReferenceGroup::KindSpread& at = group.kinds.at("at");
  EXPECT_EQ(at.mean(1), 20);
  EXPECT_EQ(at.sd(1), 10);
  EXPECT_EQ(at.mean(2), 7) << "one member only";
  EXPECT_EQ(at.sd(2), 0) << "so no spread";
  EXPECT_EQ(at.mean(3), 0);
  EXPECT_EQ(group.kinds.at("qrs").mean(1), 80);
  EXPECT_EQ(group.kinds.at("qrs").sd(1), 40);
  // Total activation 3, 0 and 0 ms; no member has an ARI or RT.
  EXPECT_EQ(group.measures.at("total_activation_ms").mean, 1);
  EXPECT_NEAR(group.measures.at("total_activation_ms").sd, std::sqrt(3.0), 1e-12);
  EXPECT_EQ(group.measures.count("rt_dispersion_ms"), 0u);

  // Lead 2 missing from the file's map: no z there.
  KindMap map;
  map(1) = 40;
  const auto of_at = group_of_kind(group, "at", map);
  ASSERT_TRUE(of_at);
  EXPECT_EQ(of_at->mean(1), 20);
  EXPECT_EQ(of_at->sd(2), 0);
  EXPECT_TRUE(of_at->basis.empty());
  EXPECT_EQ(departure(*of_at, LeadValues{}).left_out, (LeadSet{2, 3}));
  group.kinds.erase("rt");
  EXPECT_FALSE(group_of_kind(group, "rt", map)) << "a group made without that kind";

  // Kept by the group file and read back.
  group.count = 3;
  group.members = {{"a", ""}, {"b", ""}, {"c", ""}};
  const ReferenceText text = parse_reference_group(reference_group_json(group));
  ASSERT_TRUE(std::holds_alternative<ReferenceGroup>(text)) << std::get<std::string>(text);
  const ReferenceGroup& read = std::get<ReferenceGroup>(text);
  ASSERT_EQ(read.kinds.size(), 4u);
  EXPECT_EQ(read.kinds.at("at").mean, at.mean);
  EXPECT_EQ(read.kinds.at("at").sd, at.sd);
  EXPECT_EQ(read.measures.at("total_activation_ms").sd,
            group.measures.at("total_activation_ms").sd);
}

}  // namespace
}  // namespace ba
