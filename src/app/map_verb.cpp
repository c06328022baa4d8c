// beat_analyser map: the QRST integral map of a result file, drawn into a
// PNG, SVG or PDF file.

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/module_loader.h"
#include "app/verbs.h"
#include "cohort/inputs.h"
#include "cohort/study.h"
#include "map/layout.h"
#include "map/page.h"
#include "map/picture.h"
#include "results/result_file.h"
#include "runtime/files.h"
#include "runtime/text_kit.h"

namespace ba {

namespace {

// Areas are whole numbers up to 2^31; scaled beyond these the values would
// lose all digits or overflow while the map is drawn.
constexpr double smallest_scale = 1e-9;
constexpr double largest_scale = 1e9;
// Pixels, --size: a page of 5000 x 5000 already takes 100 MB while drawn.
constexpr int largest_side = 5000;
// A result file of a million beats is far smaller; anything larger is not one.
constexpr std::uintmax_t largest_input = 256u << 20;

void print_map_help(std::ostream& out) {
  out << "Usage: beat_analyser map RESULT_FILE -o OUT.(png|svg|pdf) [OPTION]...\n"
         "Draw the QRST integral map of a result file (NAMEst.txt): the area of each\n"
         "mapping lead where its electrode sits on the torso, interpolated, with\n"
         "isolines, the zero line heavier, and the maximum and minimum marked.\n"
         "\n"
         "  -o, --output FILE   the picture to write; PNG, SVG or PDF by its extension\n"
         "      --mean          the mean over the beats (the default)\n"
         "      --sd            the standard deviation over the beats (at least two),\n"
         "                        on a scale from 0\n"
         "      --beat K        beat K alone, counted in the order of the R times\n"
         "                        (1 = the earliest), its R time in the title\n"
         "      --sheet         the beats as small maps in the order of their R times,\n"
         "                        one shared colour scale; as many as the picture shows\n"
         "                        legibly (a larger --size shows more)\n"
         "      --minus OTHER   the mean map of RESULT_FILE less that of the result\n"
         "                        file OTHER (before and after a drug, two sessions)\n"
         "      --departure GROUP  the mean map's departure from the reference group\n"
         "                        GROUP (beat_analyser reference) in SD units, on a\n"
         "                        fixed scale of -4..4 SD, isolines every 1 SD, the\n"
         "                        -2 and 2 SD lines heavier\n"
         "      --layout FILE   electrode places: CSV with the columns lead, x, y and\n"
         "                        optionally label and bad (0 or 1), in any order; x\n"
         "                        grows to the right, y downward, in any unit; leads not\n"
         "                        listed or bad are left out (default: 8 x 8 grid, lead\n"
         "                        n in column (n - 1) / 8, row (n - 1) mod 8)\n"
         "      --scale F       multiply every value by F\n"
         "      --unit TEXT     the unit named in the colour bar (default: AQRST)\n"
         "      --size WxH      picture size in pixels (default: 800x600)\n"
         "      --no-labels     no lead numbers beside the electrodes\n"
         "      --help          display this help and exit\n"
         "\n"
         "Exit status:\n"
         " 0  if the map was written,\n"
         " 1  if the command line was wrong,\n"
         " 2  if a file could not be read or was not fit for use, or the picture\n"
         "    could not be written (nothing is written then).\n";
}

// The command line as typed; numbers are turned with the text kit.
struct MapArguments {
  std::string result_path;
  std::string output_path;
  std::string layout_path;
  std::string minus_path;
  std::string departure_path;
  std::string beat;
  std::string scale;
  std::string size;
  std::string unit = "AQRST";
  bool mean = false;
  bool sd = false;
  bool sheet = false;
  bool no_labels = false;
};

struct PictureSize {
  int width = default_map_width;
  int height = default_map_height;
};

struct MapOptions {
  MapArguments given;
  MapRequest request;
  PictureSize size;
  bool labels = true;
};

std::optional<PictureSize> picture_size(const std::string& text) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos) return std::nullopt;
  const auto w = parse_int32(std::string_view(text).substr(0, x));
  const auto h = parse_int32(std::string_view(text).substr(x + 1));
  if (!w || !h || *w < 200 || *h < 150 || *w > largest_side || *h > largest_side)
    return std::nullopt;
  return PictureSize{*w, *h};
}

// The options checked, or the reason the command line is wrong.
std::variant<MapOptions, std::string> checked(const MapArguments& given) {
  MapOptions options;
  options.given = given;
  if (given.result_path.empty()) return std::string("missing the result file");
  if (given.output_path.empty()) return std::string("missing -o OUT.png, OUT.svg or OUT.pdf");
  if (!map_file_type_known(given.output_path))
    return "the output '" + given.output_path + "' must end in .png, .svg or .pdf";
  const int kinds = given.mean + given.sd + given.sheet + !given.beat.empty() +
                    !given.minus_path.empty() + !given.departure_path.empty();
  if (kinds > 1)
    return std::string("choose one of --mean, --sd, --beat K, --sheet, --minus and --departure");
  if (given.sd) options.request.kind = MapKind::sd;
  if (given.sheet) options.request.kind = MapKind::sheet;
  if (!given.minus_path.empty()) options.request.kind = MapKind::difference;
  if (!given.departure_path.empty()) options.request.kind = MapKind::departure;
  if (!given.beat.empty()) {
    const auto beat = parse_int32(given.beat);
    if (!beat || *beat < 1) return "--beat needs a beat number from 1, not '" + given.beat + "'";
    options.request.kind = MapKind::beat;
    options.request.beat = *beat;
  }
  if (!given.scale.empty()) {
    const auto scale = parse_real(given.scale);
    if (!scale || !(std::abs(*scale) >= smallest_scale && std::abs(*scale) <= largest_scale))
      return "--scale needs a number from 1e-9 to 1e9 in size, not '" + given.scale + "'";
    options.request.scale = *scale;
  }
  if (!given.size.empty()) {
    const auto size = picture_size(given.size);
    if (!size)
      return "--size needs WIDTHxHEIGHT in pixels, from 200x150 to 5000x5000, not '" + given.size +
             "'";
    options.size = *size;
  }
  options.request.unit = given.unit;
  options.request.most_frames = sheet_capacity(options.size.width, options.size.height);
  options.labels = !given.no_labels;
  return options;
}

// A file that cannot be used: its message, status 2.
struct Refusal {
  std::string message;
};

std::string read_input(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (!error && size > largest_input)
    throw Refusal{describe_fault(path, {0, "is too large for this use (over 256 MB)"})};
  HostFileOps files;
  Bytes bytes;
  // A pipe or a device has no size and is refused by the read itself.
  if (auto reason = files.read_prefix(path, error ? 1 : size + 1, bytes))
    throw Refusal{describe_fault(path, {0, *reason})};
  return std::string(bytes.begin(), bytes.end());
}

std::vector<ResultBeat> read_beats(const std::string& path) {
  const ResultFileText text = parse_result_file(read_input(path));
  if (const auto* fault = std::get_if<LineFault>(&text))
    throw Refusal{describe_fault(path, *fault)};
  const auto& beats = std::get<std::vector<ResultBeat>>(text);
  if (beats.empty()) throw Refusal{describe_fault(path, {0, "holds no beats to map"})};
  return beats;
}

void check_beats_fit(const std::string& path, const std::vector<ResultBeat>& beats,
                     const MapRequest& request) {
  const std::string count = std::to_string(beats.size());
  if (request.kind == MapKind::beat && request.beat > static_cast<int>(beats.size()))
    throw Refusal{describe_fault(
        path, {0, "holds " + count + " beats; there is no beat " + std::to_string(request.beat)})};
  if (request.kind == MapKind::sd && beats.size() < 2)
    throw Refusal{
        describe_fault(path, {0, "holds 1 beat; a standard deviation needs at least two"})};
}

LeadLayout read_layout(const std::string& path) {
  if (path.empty()) return default_layout();
  const LayoutText text = parse_layout(read_input(path));
  if (const auto* fault = std::get_if<LayoutFault>(&text))
    throw Refusal{describe_fault(path, *fault)};
  return std::get<LeadLayout>(text);
}

// An output that is one of the inputs would destroy it.
void check_output_apart(const MapArguments& given) {
  for (const std::string& input :
       {given.result_path, given.layout_path, given.minus_path, given.departure_path}) {
    std::error_code error;
    if (!input.empty() && std::filesystem::equivalent(given.output_path, input, error))
      throw Refusal{describe_fault(given.output_path, {0, "is the input " + input})};
  }
}

bool every_area_zero(const std::vector<ResultBeat>& beats) {
  return std::all_of(beats.begin(), beats.end(), [](const ResultBeat& beat) {
    for (int n = 1; n <= lead_point_count; ++n)
      if (beat.areas(n) != 0) return false;
    return true;
  });
}

// The mean map's z against a reference group; the leads the group gives no
// spread are left out and said.
MapPage departure_map(const std::vector<ResultBeat>& beats, const std::string& group_path,
                      const LeadLayout& layout, std::ostream& err) {
  HostFileOps files;
  auto read = read_group_file(files, group_path);
  if (const auto* error = std::get_if<std::string>(&read)) throw Refusal{*error};
  const ReferenceGroup& group = std::get<ReferenceGroup>(read);
  if (const auto without = leads_without_sd(group))
    err << "beat_analyser map: " << group_path << ": " << *without
        << " without spread in the group: no z there\n";
  const Departure found = departure(group, mean_map(beat_maps(beats), group.leads));
  auto page = make_departure_page(found.z, layout);
  if (const auto* reason = std::get_if<std::string>(&page))
    throw Refusal{describe_fault(group_path, {0, *reason})};
  return std::get<MapPage>(std::move(page));
}

MapPage page_for(const MapOptions& options, std::ostream& err) {
  const MapArguments& given = options.given;
  const std::vector<ResultBeat> beats = read_beats(given.result_path);
  check_beats_fit(given.result_path, beats, options.request);
  if (every_area_zero(beats))
    err << "beat_analyser map: note: every area in " << given.result_path
        << " is 0: the fiducial points were not marked\n";
  const LeadLayout layout = read_layout(given.layout_path);
  if (options.request.kind == MapKind::difference)
    return make_difference_page(beats, read_beats(given.minus_path), given.result_path,
                                given.minus_path, layout, options.request);
  if (options.request.kind == MapKind::departure)
    return departure_map(beats, given.departure_path, layout, err);
  if (options.request.kind == MapKind::sheet && beats.size() > options.request.most_frames)
    err << "beat_analyser map: note: the sheet shows the first " << options.request.most_frames
        << " of " << beats.size() << " beats; a larger --size shows more\n";
  return make_page(beats, layout, options.request);
}

}  // namespace

ExitStatus run_map_verb(int argc, char** argv) {
  CommandLine line("beat_analyser map", print_map_help);
  CommandLine& app = line;
  MapArguments given;
  app.add_option("RESULT_FILE", given.result_path);
  app.add_option("-o,--output", given.output_path);
  app.add_flag("--mean", given.mean);
  app.add_flag("--sd", given.sd);
  app.add_option("--beat", given.beat);
  app.add_flag("--sheet", given.sheet);
  app.add_option("--minus", given.minus_path);
  app.add_option("--departure", given.departure_path);
  app.add_option("--layout", given.layout_path);
  app.add_option("--scale", given.scale);
  app.add_option("--unit", given.unit);
  app.add_option("--size", given.size);
  app.add_flag("--no-labels", given.no_labels);
  if (auto status = line.parse(argc, argv, std::cout, std::cerr)) return *status;
  const auto options = checked(given);
  if (const auto* reason = std::get_if<std::string>(&options))
    return line.usage(*reason, std::cerr);
  const MapOptions& chosen = std::get<MapOptions>(options);
  try {
    check_output_apart(chosen.given);
    const MapPage page = page_for(chosen, std::cerr);
    const auto module = module_entries();
    if (const auto* reason = std::get_if<std::string>(&module))
      return line.refuse(*reason, std::cerr);
    MapDrawOptions draw;
    draw.lead_labels = chosen.labels;
    if (auto error = std::get<const ModuleEntries*>(module)->save_map(
            chosen.given.output_path, page, chosen.size.width, chosen.size.height, draw))
      return line.refuse(*error, std::cerr);
    return ExitStatus::ok;
  } catch (const Refusal& refusal) {
    return line.refuse(refusal.message, std::cerr);
  }
}

}  // namespace ba
