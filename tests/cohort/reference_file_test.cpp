// The reference group file: what is written reads back the same, and every
// file that is not a usable group of this version is refused with a reason.

#include "cohort/reference_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>

namespace ba {
namespace {

using nlohmann::json;

ReferenceGroup sample_group() {
  ReferenceGroup group;
  group.leads = {2, 7, 64};
  group.count = 3;
  group.mean(2) = 0.1;  // not exact in binary: must come back bit for bit
  group.mean(7) = -1.0 / 3.0;
  group.mean(64) = 12345.678901234567;
  group.sd(2) = 2.0 / 3.0;
  group.sd(64) = 1e-9;  // the smallest spread read
  KlComponent first;
  first.eigenvalue = 5.5;
  first.vector(2) = 0.6;
  first.vector(64) = 0.8;
  group.basis = {first};
  group.members = {{"a.txt", std::string(64, 'a')}, {"b \"c\".txt", ""}, {"d.txt", ""}};
  return group;
}

TEST(ReferenceFile, ReadsBackWhatItWrites) {
  const ReferenceGroup written = sample_group();
  const ReferenceText text = parse_reference_group(reference_group_json(written));
  ASSERT_TRUE(std::holds_alternative<ReferenceGroup>(text)) << std::get<std::string>(text);
  const ReferenceGroup& read = std::get<ReferenceGroup>(text);
  EXPECT_EQ(read.leads, written.leads);
  EXPECT_EQ(read.count, 3);
  EXPECT_EQ(read.mean, written.mean);
  EXPECT_EQ(read.sd, written.sd);
  ASSERT_EQ(read.basis.size(), 1u);
  EXPECT_EQ(read.basis[0].eigenvalue, 5.5);
  EXPECT_EQ(read.basis[0].vector, written.basis[0].vector);
  ASSERT_EQ(read.members.size(), 3u);
  EXPECT_EQ(read.members[1].name, "b \"c\".txt");
  EXPECT_EQ(read.members[0].sha256, std::string(64, 'a'));
}

TEST(ReferenceFile, WrittenIndentedByOneSpaceInAFixedOrder) {
  ReferenceGroup group;
  group.leads = {2, 7};
  group.count = 3;
  group.mean(2) = 0.5;
  group.mean(7) = -2.25;
  group.sd(2) = 1;
  KlComponent first;
  first.eigenvalue = 4;
  first.vector(2) = 0.6;
  first.vector(7) = -0.8;
  group.basis = {first};
  group.members = {{"a.txt", "ab12"}, {"b\xff.txt", ""}, {"c.txt", ""}};
  EXPECT_EQ(reference_group_json(group),
            "{\n \"format\": \"beat-analyser-reference\",\n \"version\": 1,\n \"count\": 3,\n"
            " \"leads\": [\n  2,\n  7\n ],\n \"mean\": [\n  0.5,\n  -2.25\n ],\n"
            " \"sd\": [\n  1.0,\n  0.0\n ],\n"
            " \"basis\": [\n  {\n   \"eigenvalue\": 4.0,\n   \"vector\": [\n    0.6,\n    -0.8\n   "
            "]\n  }\n"
            " ],\n \"files\": [\n"
            "  {\n   \"name\": \"a.txt\",\n   \"sha256\": \"ab12\"\n  },\n"
            "  {\n   \"name\": \"b\xef\xbf\xbd.txt\",\n   \"sha256\": \"\"\n  },\n"
            "  {\n   \"name\": \"c.txt\",\n   \"sha256\": \"\"\n  }\n ]\n}\n")
      << "a name that is not UTF-8 written with U+FFFD in place of its byte";
}

TEST(ReferenceFile, ReadsTheLargestBasis) {
  std::vector<LeadValues> maps(15);
  for (int i = 1; i <= 15; ++i) maps[i - 1](i) = 100 - i;
  GroupOutcome group = make_reference_group(maps, usable_leads(default_layout()));
  std::get<ReferenceGroup>(group).members.resize(15);
  ASSERT_EQ(std::get<ReferenceGroup>(group).basis.size(), 12u);
  const ReferenceText text =
      parse_reference_group(reference_group_json(std::get<ReferenceGroup>(group)));
  EXPECT_TRUE(std::holds_alternative<ReferenceGroup>(text)) << std::get<std::string>(text);
}

TEST(ReferenceFile, RefusesWhatIsNoUsableGroup) {
  const json good = json::parse(reference_group_json(sample_group()));
  struct Row {
    const char* label;
    std::function<void(json&)> change;
    const char* reason;
  } rows[] = {
      {"another program's JSON", [](json& d) { d["format"] = "something-else"; },
       "is not a reference group (its format is not \"beat-analyser-reference\")"},
      {"a later version", [](json& d) { d["version"] = 2; },
       "is a reference group of version 2; this program reads version 1"},
      {"a group of two", [](json& d) { d["count"] = 2; },
       "\"count\" is 2; a group has at least 3 files"},
      {"the largest version read", [](json& d) { d["version"] = 1000000; },
       "is a reference group of version 1000000; this program reads version 1"},
      {"a version beyond it", [](json& d) { d["version"] = 1000001; }, "\"version\" is too large"},
      {"the lowest count read", [](json& d) { d["count"] = -1000000; },
       "\"count\" is -1000000; a group has at least 3 files"},
      {"a count below it", [](json& d) { d["count"] = -1000001; }, "\"count\" is too large"},
      {"fewer SDs than leads", [](json& d) { d["sd"].erase(0); },
       "\"sd\" does not hold one number per lead"},
      {"a basis vector too long", [](json& d) { d["basis"][0]["vector"].push_back(1); },
       "\"vector\" does not hold one number per lead"},
      {"lead 65", [](json& d) { d["leads"][2] = 65; }, "\"leads\" names a lead outside 1..64"},
      {"lead 0", [](json& d) { d["leads"][0] = 0; }, "\"leads\" names a lead outside 1..64"},
      {"a lead twice", [](json& d) { d["leads"][1] = 2; },
       "\"leads\" are not in ascending order, each once"},
      {"more files than the count", [](json& d) { d["files"].push_back(d["files"][0]); },
       "\"files\" does not name \"count\" files"},
      {"a negative SD", [](json& d) { d["sd"][1] = -1; }, "\"sd\" holds a negative value"},
      {"eigenvalues rising",
       [](json& d) {
         d["basis"].push_back({{"eigenvalue", 6}, {"vector", {0, 0, 1}}});
       },
       "the eigenvalues are not in decreasing order"},
      {"more vectors than leads",
       [](json& d) {
         for (int k = 0; k < 3; ++k)
           d["basis"].push_back({{"eigenvalue", 1}, {"vector", {0, 0, 1}}});
       },
       "\"basis\" holds more vectors than a group can have"},
      {"an SD that makes every z infinite", [](json& d) { d["sd"][1] = 1e-310; },
       "\"sd\" holds a value between 0 and 1e-9"},
      {"a mean beyond any area", [](json& d) { d["mean"][0] = 1e200; },
       "\"mean\" holds a value beyond 1e10"},
      {"a basis vector twice as long",
       [](json& d) {
         d["basis"][0]["vector"] = {1.2, 0, 1.6};
       },
       "basis vector 1 is not of unit length"},
      {"a basis vector of huge values",
       [](json& d) {
         d["basis"][0]["vector"] = {1e200, 0, 0};
       },
       "basis vector 1 is not of unit length"},
      {"basis vectors not at right angles",
       [](json& d) {
         d["basis"].push_back({{"eigenvalue", 1}, {"vector", {0, 0, 1}}});
       },
       "basis vectors 1 and 2 are not at right angles"},
      {"mean missing", [](json& d) { d.erase("mean"); }, "has no \"mean\""},
      {"no format at all", [](json& d) { d.erase("format"); },
       "is not a reference group (its format is not \"beat-analyser-reference\")"},
  };
  for (const Row& row : rows) {
    json document = good;
    row.change(document);
    const ReferenceText text = parse_reference_group(document.dump());
    ASSERT_TRUE(std::holds_alternative<std::string>(text)) << row.label;
    EXPECT_EQ(std::get<std::string>(text), row.reason) << row.label;
  }
  EXPECT_EQ(std::get<std::string>(parse_reference_group("{\"format\":")), "is not JSON");
}

}  // namespace
}  // namespace ba
