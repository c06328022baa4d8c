#pragma once
// Reading the files a study is made of: result files, a lead layout and a
// reference group. Each gives what it holds or the one message that names
// the file (and the line, where there is one) and what is wrong.

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cohort/study.h"
#include "map/layout.h"
#include "results/lead_table.h"
#include "results/result_file.h"
#include "runtime/files.h"
#include "runtime/size_limits.h"

namespace ba {

struct StudyFile {
  std::string name;  // as given
  std::string bytes;
  std::vector<ResultBeat> beats;  // at least one
  // The lead table written beside it (NAMEst.leads.csv), when read.
  std::optional<std::vector<BeatLeads>> leads;
};

std::variant<StudyFile, std::string> read_study_file(FileOps& files, const std::string& path);
// Reads the lead table beside a result file NAMEst.txt into `file.leads`
// when there is one; the reason when it cannot be read or is another
// result file's.
std::optional<std::string> read_study_leads(FileOps& files, StudyFile& file);
std::variant<LeadLayout, std::string> read_layout_file(FileOps& files, const std::string& path);
std::variant<ReferenceGroup, std::string> read_group_file(FileOps& files, const std::string& path);

// The leads a study is measured over: the layout's when one is given, else
// the group's, else all 64. A layout whose usable leads are not the group's
// gives the reason instead.
std::variant<LeadSet, std::string> study_leads(const LeadLayout* layout,
                                               const ReferenceGroup* group,
                                               const std::string& group_path);

// What a study verb measures with: the layout and group of the files given,
// and the leads (as study_leads chooses them).
struct StudySetting {
  LeadLayout layout;  // the file's, else the default one
  bool layout_given = false;
  std::optional<ReferenceGroup> group;
  LeadSet leads;
  std::vector<std::string> notes;  // "GROUP: what it cannot give", from group_gaps
};
std::variant<StudySetting, std::string> read_study_setting(
    FileOps& files, const std::optional<std::string>& layout_path,
    const std::optional<std::string>& group_path);

}  // namespace ba

namespace ba {

// The leads of the group with SD 0 and so no z, in the group's order.
LeadSet leads_without_sd(const ReferenceGroup& group);

// Lead numbers with runs of consecutive ones joined, "2-5, 9"; ascending
// numbers expected.
std::string lead_runs(const LeadSet& leads);

// "lead 7" or "leads 2-5, 9"; nothing for no lead.
std::optional<std::string> name_leads(const LeadSet& leads);

// What a group cannot give, a sentence each: z at the leads without spread,
// and the non-dipolarity index when its basis is too small for one.
std::vector<std::string> group_gaps(const ReferenceGroup& group);

// The input among `inputs` that writing `output` would replace (the same
// file, by any name), or nothing.
std::optional<std::string> replaced_input(const std::string& output,
                                          const std::vector<std::string>& inputs);

}  // namespace ba
