#include "cohort/inputs.h"

#include <filesystem>

#include "cohort/reference_file.h"
#include "runtime/text_kit.h"

namespace ba {

namespace {

std::variant<std::string, LineFault> whole_file(FileOps& files, const std::string& path) {
  Bytes bytes;
  if (auto error = files.read_prefix(path, largest_study_input + 1, bytes))
    return LineFault{0, "cannot be read: " + *error};
  if (bytes.size() > largest_study_input)
    return LineFault{0, "is larger than " + std::to_string(largest_study_input >> 20) + " MiB"};
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

std::variant<StudyFile, std::string> read_study_file(FileOps& files, const std::string& path) {
  auto bytes = whole_file(files, path);
  if (const auto* fault = std::get_if<LineFault>(&bytes)) return describe_fault(path, *fault);
  StudyFile study;
  study.name = path;
  study.bytes = std::move(std::get<std::string>(bytes));
  ResultFileText text = parse_result_file(study.bytes);
  if (const auto* fault = std::get_if<LineFault>(&text)) return describe_fault(path, *fault);
  study.beats = std::move(std::get<std::vector<ResultBeat>>(text));
  if (study.beats.empty()) return describe_fault(path, LineFault{0, "holds no beats"});
  return study;
}

std::optional<std::string> read_study_leads(FileOps& files, StudyFile& file) {
  if (!file.name.ends_with(".txt")) return std::nullopt;
  const std::string path = lead_table_path(file.name);
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return std::nullopt;
  auto bytes = whole_file(files, path);
  if (const auto* fault = std::get_if<LineFault>(&bytes)) return describe_fault(path, *fault);
  LeadTableText text = parse_lead_table(std::get<std::string>(bytes));
  if (const auto* fault = std::get_if<LineFault>(&text)) return describe_fault(path, *fault);
  auto& table = std::get<std::vector<BeatLeads>>(text);
  if (const auto reason = lead_table_mismatch(table, file.beats))
    return describe_fault(path, {0, "is not the table of " + file.name + ": " + *reason});
  file.leads = std::move(table);
  return std::nullopt;
}

std::variant<LeadLayout, std::string> read_layout_file(FileOps& files, const std::string& path) {
  auto bytes = whole_file(files, path);
  if (const auto* fault = std::get_if<LineFault>(&bytes)) return describe_fault(path, *fault);
  LayoutText text = parse_layout(std::get<std::string>(bytes));
  if (const auto* fault = std::get_if<LayoutFault>(&text))
    return describe_fault(path, LineFault{static_cast<int>(fault->line), fault->reason});
  return std::get<LeadLayout>(text);
}

std::variant<ReferenceGroup, std::string> read_group_file(FileOps& files, const std::string& path) {
  auto bytes = whole_file(files, path);
  if (const auto* fault = std::get_if<LineFault>(&bytes)) return describe_fault(path, *fault);
  ReferenceText text = parse_reference_group(std::get<std::string>(bytes));
  if (const auto* reason = std::get_if<std::string>(&text))
    return describe_fault(path, LineFault{0, *reason});
  return std::get<ReferenceGroup>(text);
}

std::variant<LeadSet, std::string> study_leads(const LeadLayout* layout,
                                               const ReferenceGroup* group,
                                               const std::string& group_path) {
  const LeadSet leads = layout  ? usable_leads(*layout)
                        : group ? group->leads
                                : usable_leads(default_layout());
  if (group && leads != group->leads)
    return describe_fault(group_path,
                          LineFault{0, "was made over other leads than the layout's usable ones"});
  return leads;
}

std::variant<StudySetting, std::string> read_study_setting(
    FileOps& files, const std::optional<std::string>& layout_path,
    const std::optional<std::string>& group_path) {
  StudySetting setting;
  setting.layout = default_layout();
  if (layout_path) {
    auto read = read_layout_file(files, *layout_path);
    if (auto* error = std::get_if<std::string>(&read)) return std::move(*error);
    setting.layout = std::get<LeadLayout>(std::move(read));
    setting.layout_given = true;
  }
  if (group_path) {
    auto read = read_group_file(files, *group_path);
    if (auto* error = std::get_if<std::string>(&read)) return std::move(*error);
    setting.group = std::get<ReferenceGroup>(std::move(read));
    for (const std::string& gap : group_gaps(*setting.group))
      setting.notes.push_back(*group_path + ": " + gap);
  }
  auto leads = study_leads(layout_path ? &setting.layout : nullptr,
                           setting.group ? &*setting.group : nullptr, group_path.value_or(""));
  if (auto* error = std::get_if<std::string>(&leads)) return std::move(*error);
  setting.leads = std::get<LeadSet>(std::move(leads));
  return setting;
}

}  // namespace ba

namespace ba {

std::optional<std::string> replaced_input(const std::string& output,
                                          const std::vector<std::string>& inputs) {
  std::error_code error;
  if (!std::filesystem::exists(output, error)) return std::nullopt;
  for (const std::string& input : inputs)
    if (std::filesystem::equivalent(output, input, error)) return input;
  return std::nullopt;
}

LeadSet leads_without_sd(const ReferenceGroup& group) {
  LeadSet without;
  for (const int n : group.leads)
    if (!(group.sd(n) > 0)) without.push_back(n);
  return without;
}

std::string lead_runs(const LeadSet& leads) {
  std::string text;
  // Runs of consecutive lead numbers, each written as FIRST-LAST.
  for (std::size_t i = 0; i < leads.size(); ++i) {
    const int n = leads[i];
    const bool follows = i > 0 && leads[i - 1] == n - 1;
    const bool followed = i + 1 < leads.size() && leads[i + 1] == n + 1;
    if (!follows)
      text += (text.empty() ? "" : ", ") + std::to_string(n);
    else if (!followed)
      text += "-" + std::to_string(n);
  }
  return text;
}

std::optional<std::string> name_leads(const LeadSet& leads) {
  if (leads.empty()) return std::nullopt;
  return (leads.size() == 1 ? "lead " : "leads ") + lead_runs(leads);
}

std::vector<std::string> group_gaps(const ReferenceGroup& group) {
  std::vector<std::string> gaps;
  if (const auto without = name_leads(leads_without_sd(group)))
    gaps.push_back(*without + " without spread in the group: no z there");
  const std::size_t vectors = group.basis.size();
  if (vectors < smallest_ndi_basis)
    gaps.push_back("a KL basis of " + std::to_string(vectors) + " vector" +
                   (vectors == 1 ? "" : "s") + ": no NDI, which needs " +
                   std::to_string(smallest_ndi_basis) +
                   " (a group of at least 4 files whose maps differ)");
  return gaps;
}

}  // namespace ba
