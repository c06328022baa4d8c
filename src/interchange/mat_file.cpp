#include "interchange/mat_file.h"

#include <matio.h>

#include <memory>

#include "interchange/scratch_file.h"

namespace ba {

namespace {

// A variable not yet handed to a file or a structure.
using Variable = std::unique_ptr<matvar_t, decltype(&Mat_VarFree)>;

// A double matrix of rows x columns; `values` column after column. matio
// copies the values.
Variable matrix(const char* name, std::size_t rows, std::size_t columns,
                std::vector<double> values) {
  std::size_t dims[2] = {rows, columns};
  return {Mat_VarCreate(name, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, values.data(), 0), Mat_VarFree};
}

Variable text(const char* name, const std::string& value) {
  std::size_t dims[2] = {1, value.size()};
  return {Mat_VarCreate(name, MAT_C_CHAR, MAT_T_UTF8, 2, dims, const_cast<char*>(value.data()), 0),
          Mat_VarFree};
}

Variable labels(const std::vector<std::string>& values) {
  std::size_t dims[2] = {values.size(), 1};
  Variable cell(Mat_VarCreate("label", MAT_C_CELL, MAT_T_CELL, 2, dims, nullptr, 0), Mat_VarFree);
  if (!cell) return cell;
  for (std::size_t i = 0; i < values.size(); ++i) {
    Variable element = text(nullptr, values[i]);
    if (!element) return {nullptr, Mat_VarFree};
    Mat_VarSetCell(cell.get(), static_cast<int>(i), element.release());
  }
  return cell;
}

Variable layout_structure(const MatLayout& layout) {
  const char* fields[] = {"x", "y", "label"};
  std::size_t dims[2] = {1, 1};
  Variable structure(Mat_VarCreateStruct("layout", 2, dims, fields, 3), Mat_VarFree);
  Variable parts[] = {matrix("x", layout.x.size(), 1, layout.x),
                      matrix("y", layout.y.size(), 1, layout.y), labels(layout.label)};
  if (!structure) return structure;
  for (std::size_t f = 0; f < 3; ++f) {
    if (!parts[f]) return {nullptr, Mat_VarFree};
    Mat_VarSetStructFieldByName(structure.get(), fields[f], 0, parts[f].release());
  }
  return structure;
}

std::vector<Variable> variables(const MatResults& results) {
  const std::size_t beats = results.beats.size();
  std::vector<double> areas(beats * lead_point_count);
  std::vector<double> r_ms(beats);
  for (std::size_t b = 0; b < beats; ++b) {
    r_ms[b] = results.beats[b].r_ms;
    for (long lead = 1; lead <= lead_point_count; ++lead)
      areas[static_cast<std::size_t>(lead - 1) * beats + b] = results.beats[b].areas(lead);
  }
  std::vector<double> leads(lead_point_count);
  for (std::size_t lead = 0; lead < leads.size(); ++lead)
    leads[lead] = static_cast<double>(lead + 1);
  std::vector<Variable> made;
  made.push_back(matrix("areas", beats, lead_point_count, std::move(areas)));
  made.push_back(matrix("r_ms", beats, 1, std::move(r_ms)));
  made.push_back(matrix("leads", 1, lead_point_count, std::move(leads)));
  made.push_back(text("recording", results.recording));
  if (results.layout) made.push_back(layout_structure(*results.layout));
  return made;
}

std::optional<std::string> write_mat_file(const std::filesystem::path& path,
                                          const MatResults& results) {
  const std::vector<Variable> made = variables(results);
  for (const Variable& variable : made)
    if (!variable) return "matio could not make a variable";
  mat_t* file = Mat_CreateVer(path.c_str(), nullptr, MAT_FT_MAT5);
  if (!file) return "cannot be created as a MATLAB file";
  std::optional<std::string> error;
  for (const Variable& variable : made)
    if (!error && Mat_VarWrite(file, variable.get(), MAT_COMPRESSION_NONE) != 0)
      error = "writing the variable " + std::string(variable->name) + " failed";
  if (Mat_Close(file) != 0 && !error) error = "closing the MATLAB file failed";
  return error;
}

}  // namespace

std::optional<std::string> write_mat(FileOps& files, const std::filesystem::path& path,
                                     const MatResults& results) {
  return write_through_scratch(files, path, [&](const std::filesystem::path& scratch) {
    return write_mat_file(scratch, results);
  });
}

}  // namespace ba
