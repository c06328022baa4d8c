// The files a study reads: refused whole with the file's name and reason,
// never read in part.

#include "cohort/inputs.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "runtime/files.h"

namespace ba {
namespace {

// A file system holding one file of the given bytes, or none.
class OneFile : public HostFileOps {
 public:
  std::optional<std::string> read_prefix(const std::filesystem::path&, std::size_t count,
                                         Bytes& bytes) override {
    if (!text) return "No such file or directory";
    bytes.assign(text->begin(), text->begin() + static_cast<long>(std::min(count, text->size())));
    return std::nullopt;
  }
  std::optional<std::string> text;
};

TEST(StudyInputs, ResultFileRefusedWithItsReason) {
  struct Row {
    const char* label;
    std::optional<std::string> text;
    std::string outcome;  // the refusal's start
  } rows[] = {
      {"missing", std::nullopt, "f.txt: cannot be read: No such file or directory"},
      {"one byte over the limit", std::string(largest_study_input + 1, ' '),
       "f.txt: is larger than 64 MiB"},
      {"no beats", std::string("0\r\n"), "f.txt: holds no beats"},
      {"at the limit: read, and refused for what it holds", std::string(largest_study_input, ' '),
       "f.txt:1: "},
  };
  for (const Row& row : rows) {
    OneFile files;
    files.text = row.text;
    const auto read = read_study_file(files, "f.txt");
    ASSERT_TRUE(std::holds_alternative<std::string>(read)) << row.label;
    EXPECT_TRUE(std::get<std::string>(read).starts_with(row.outcome))
        << row.label << ": " << std::get<std::string>(read);
  }
}

TEST(StudyInputs, GroupFileRefusedWithItsName) {
  OneFile files;
  files.text = "{}";
  EXPECT_EQ(std::get<std::string>(read_group_file(files, "g.json")),
            "g.json: is not a reference group (its format is not \"beat-analyser-reference\")");
}

TEST(StudyInputs, LeadsFromTheLayoutOrTheGroup) {
  LeadLayout two = default_layout();
  for (int n = 3; n <= lead_point_count; ++n) two.leads(n).bad = true;
  ReferenceGroup group;
  group.leads = {1, 2};
  struct Row {
    const char* label;
    const LeadLayout* layout;
    const ReferenceGroup* group;
    std::variant<LeadSet, std::string> leads;
  } rows[] = {
      {"the group's without a layout", nullptr, &group, LeadSet{1, 2}},
      {"the layout's matching the group", &two, &group, LeadSet{1, 2}},
      {"neither: the default layout's", nullptr, nullptr, usable_leads(default_layout())},
      {"a layout alone", &two, nullptr, LeadSet{1, 2}},
  };
  for (const Row& row : rows)
    EXPECT_EQ(study_leads(row.layout, row.group, "g.json"), row.leads) << row.label;
  const LeadLayout all = default_layout();
  EXPECT_EQ(std::get<std::string>(study_leads(&all, &group, "g.json")),
            "g.json: was made over other leads than the layout's usable ones");
}

}  // namespace
}  // namespace ba
