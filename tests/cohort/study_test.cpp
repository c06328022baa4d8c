// Group statistics, KL basis, non-dipolarity and departure against truths
// built by hand: maps made of known patterns and leads with known spread.

#include "cohort/study.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <utility>

namespace ba {
namespace {

using Entries = std::initializer_list<std::pair<int, double>>;

LeadValues map_of(Entries entries, double factor = 1.0) {
  LeadValues map;
  for (const auto& [lead, value] : entries) map(lead) += value * factor;
  return map;
}

LeadSet all_leads() { return usable_leads(default_layout()); }

ReferenceGroup group_of(const GroupOutcome& outcome) {
  if (const auto* reason = std::get_if<std::string>(&outcome)) ADD_FAILURE() << *reason;
  return std::get<ReferenceGroup>(outcome);
}

// Four orthogonal unit patterns; p1 has tied loadings, p2 its largest
// loading negative.
const Entries p1 = {{1, 0.5}, {2, 0.5}, {3, 0.5}, {4, 0.5}};
const Entries p2 = {{5, 0.6}, {6, -0.8}};
const Entries p3 = {{10, 1.0}};
const Entries p4 = {{20, 0.8}, {21, 0.6}};

TEST(KlBasis, OrthogonalPatternsComeBackSignedByTheirLargestLoading) {
  // Energies 16, 9, 4, 1 (over 4 maps): eigenvalues 4, 2.25, 1, 0.25; rank 4.
  const GroupOutcome outcome = make_reference_group(
      {map_of(p1, 4), map_of(p2, -3), map_of(p3, -2), map_of(p4, 1)}, all_leads());
  const ReferenceGroup group = group_of(outcome);
  struct Row {
    const char* label;
    double eigenvalue;
    Entries vector;
  } rows[] = {
      {"tied loadings: the first one positive", 4.0, p1},
      {"largest loading negative: flipped", 2.25, {{5, -0.6}, {6, 0.8}}},
      {"map negative, single lead: positive", 1.0, p3},
      {"weakest pattern", 0.25, p4},
  };
  ASSERT_EQ(group.basis.size(), std::size(rows)) << "no more vectors than the rank";
  for (std::size_t k = 0; k < std::size(rows); ++k) {
    SCOPED_TRACE(rows[k].label);
    EXPECT_NEAR(group.basis[k].eigenvalue, rows[k].eigenvalue, 1e-12);
    const LeadValues expected = map_of(rows[k].vector);
    for (int n = 1; n <= lead_point_count; ++n)
      EXPECT_NEAR(group.basis[k].vector(n), expected(n), 1e-12) << "lead " << n;
  }
}

TEST(KlBasis, AFullRankGroupKeepsEveryVector) {
  const std::vector<LeadValues> maps = {map_of({{1, 4.0}}), map_of({{2, 3.0}}), map_of({{3, 2.0}}),
                                        map_of({{4, 1.0}})};
  const ReferenceGroup group = group_of(make_reference_group(maps, {1, 2, 3, 4}));
  ASSERT_EQ(group.basis.size(), 4u);
  EXPECT_DOUBLE_EQ(group.basis[3].vector(4), 1.0);
}

TEST(KlBasis, KeepsAtMostTwelveVectors) {
  std::vector<LeadValues> maps;
  for (int i = 1; i <= 15; ++i) maps.push_back(map_of({{i, 100.0 - i}}));
  const ReferenceGroup group = group_of(make_reference_group(maps, all_leads()));
  ASSERT_EQ(group.basis.size(), 12u);
  EXPECT_DOUBLE_EQ(group.basis[11].vector(12), 1.0) << "the twelfth strongest is lead 12";
}

TEST(NonDipolarity, ShareOfEnergyBeyondTheThirdComponent) {
  const GroupOutcome outcome = make_reference_group(
      {map_of(p1, 4), map_of(p2, 3), map_of(p3, 2), map_of(p4, 1)}, all_leads());
  const ReferenceGroup group = group_of(outcome);
  LeadValues mixed = map_of(p1, 3);
  mixed(10) += 1;        // p3
  mixed(20) += 0.8 * 2;  // 2 p4
  mixed(21) += 0.6 * 2;
  struct Row {
    const char* label;
    LeadValues map;
    std::optional<double> ndi;
  } rows[] = {
      {"within the first three patterns", map_of(p1, 5), 0.0},
      {"orthogonal to the first three", map_of(p4, 7), 1.0},
      {"energy 9 + 1 + 4 of which 4 beyond", mixed, 4.0 / 14.0},
      {"no energy in the basis", map_of({{40, 3.0}}), std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const auto ndi = non_dipolarity(kl_coefficients(group, row.map));
    ASSERT_EQ(ndi.has_value(), row.ndi.has_value());
    if (ndi) {
      EXPECT_NEAR(*ndi, *row.ndi, 1e-12);
    }
  }
  EXPECT_FALSE(non_dipolarity({1.0, 2.0, 3.0})) << "three components are too few";
}

TEST(ReferenceGroup, MeanAndSdPerLeadAndTooFewFilesRefused) {
  // Lead 5: 0, 2, 4 (mu 2, sigma 2); lead 7: 1, 1, 1 (sigma 0).
  const std::vector<LeadValues> maps = {map_of({{5, 0}, {7, 1}}), map_of({{5, 2}, {7, 1}}),
                                        map_of({{5, 4}, {7, 1}})};
  const ReferenceGroup group = group_of(make_reference_group(maps, all_leads()));
  EXPECT_EQ(group.count, 3);
  EXPECT_DOUBLE_EQ(group.mean(5), 2.0);
  EXPECT_DOUBLE_EQ(group.sd(5), 2.0);
  EXPECT_TRUE(
      std::holds_alternative<std::string>(make_reference_group({maps[0], maps[1]}, all_leads())))
      << "a group of two";
  // Three equal means of 0.1 average to 0.10000000000000002: no spread.
  LeadValues tenth;
  tenth(3) = 0.1;
  EXPECT_EQ(group_of(make_reference_group({tenth, tenth, tenth}, all_leads())).sd(3), 0);
}

TEST(Departure, ZPerLeadAgainstTheGroup) {
  const std::vector<LeadValues> maps = {map_of({{5, 0}, {7, 1}, {9, 10}}),
                                        map_of({{5, 2}, {7, 1}, {9, 20}}),
                                        map_of({{5, 4}, {7, 1}, {9, 30}})};
  const ReferenceGroup group = group_of(make_reference_group(maps, all_leads()));
  struct Row {
    const char* label;
    LeadValues subject;
    double max_abs_z;
    int max_lead;
    int leads_z2;
    int leads_z3;
  } rows[] = {
      {"the group mean itself", map_of({{5, 2}, {7, 1}, {9, 20}}), 0, 5, 0, 0},
      {"mu + 3 sigma on lead 5 only", map_of({{5, 8}, {7, 1}, {9, 20}}), 3, 5, 1, 1},
      {"-2 sigma on lead 9, +2 on lead 5", map_of({{5, 6}, {7, 1}, {9, 0}}), 2, 5, 2, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const Departure found = departure(group, row.subject);
    EXPECT_DOUBLE_EQ(found.max_abs_z, row.max_abs_z);
    EXPECT_EQ(found.max_abs_z_lead, row.max_lead);
    EXPECT_EQ(found.leads_z2, row.leads_z2);
    EXPECT_EQ(found.leads_z3, row.leads_z3);
    // Every other lead sits at 0 in every map: sigma 0, no z.
    EXPECT_EQ(found.left_out.size(), 62u);
    EXPECT_FALSE(found.z(7).has_value());
  }
}

TEST(Variability, RootMeanSquareOfTheLeadsSd) {
  const LeadSet leads = {1, 2};
  struct Row {
    const char* label;
    std::vector<LeadValues> maps;
    std::optional<double> expected;
  } rows[] = {
      {"lead 1 SD^2 2, lead 2 SD^2 0", {map_of({{1, 0}}), map_of({{1, 2}})}, 1.0},
      {"lead 3 outside the set", {map_of({{3, 0}}), map_of({{3, 9}})}, 0.0},
      {"one beat", {map_of({{1, 2}})}, std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const auto found = variability(row.maps, leads);
    ASSERT_EQ(found.has_value(), row.expected.has_value());
    if (found) {
      EXPECT_DOUBLE_EQ(*found, *row.expected);
    }
  }
}

}  // namespace
}  // namespace ba
