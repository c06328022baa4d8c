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
#include "cohort/kind_group.h"
#include "cohort/study.h"
#include "map/layout.h"
#include "map/lead_kinds.h"
#include "map/page.h"
#include "map/picture.h"
#include "results/lead_table.h"
#include "results/result_file.h"
#include "runtime/errors.h"
#include "runtime/files.h"
#include "runtime/size_limits.h"
#include "runtime/text_kit.h"

namespace ba {

namespace {

// Areas are whole numbers up to 2^31; scaled beyond these the values would
// lose all digits or overflow while the map is drawn.
constexpr double smallest_scale = 1e-9;
constexpr double largest_scale = 1e9;
// Pixels, --size: a page of 5000 x 5000 already takes 100 MB while drawn.
constexpr int largest_side = 5000;

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
         "                        -2 and 2 SD lines heavier; with --kind, against the\n"
         "                        group's maps of that kind\n"
         "      --kind KIND     what each lead shows: qrst (the QRST area, the\n"
         "                        default), qrs or stt (its parts before and after\n"
         "                        the J point), at, rt or ari (activation time,\n"
         "                        recovery time and their interval, ms from R, on a\n"
         "                        sequential scale with isochrones every 5 or 10 ms);\n"
         "                        all but qrst read the lead table NAMEst.leads.csv\n"
         "                        beside the result file\n"
         "      --layout FILE   electrode places: CSV with the columns lead, x, y and\n"
         "                        optionally label and bad (0 or 1), in any order; x\n"
         "                        grows to the right, y downward, in any unit; leads not\n"
         "                        listed or bad are left out (default: 8 x 8 grid, lead\n"
         "                        n in column (n - 1) / 8, row (n - 1) mod 8)\n"
         "      --scale F       multiply every value by F\n"
         "      --unit TEXT     the unit named in the colour bar (default: AQRST, or\n"
         "                        the kind's)\n"
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
  std::string unit;
  std::string kind = "qrst";
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
  LeadKind kind = LeadKind::qrst;
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
  const auto kind = lead_kind_named(given.kind);
  if (!kind) return "--kind needs qrst, qrs, stt, at, rt or ari, not '" + given.kind + "'";
  options.kind = *kind;
  options.request.unit = given.unit.empty() ? lead_kind_unit(options.kind) : given.unit;
  options.request.most_frames = sheet_capacity(options.size.width, options.size.height);
  options.labels = !given.no_labels;
  return options;
}

std::string read_input(FileOps& files, const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (!error && size > largest_map_input)
    throw Refusal{describe_fault(path, {0, "is too large for this use (over 256 MB)"})};
  Bytes bytes;
  // A pipe or a device has no size and is refused by the read itself.
  if (auto reason = files.read_prefix(path, error ? 1 : size + 1, bytes))
    throw Refusal{describe_fault(path, {0, *reason})};
  return std::string(bytes.begin(), bytes.end());
}

std::vector<ResultBeat> read_beats(FileOps& files, const std::string& path) {
  const ResultFileText text = parse_result_file(read_input(files, path));
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

// The lead table beside a result file NAMEst.txt, which must be its own.
std::vector<BeatLeads> read_lead_table(FileOps& files, const std::string& result_path,
                                       const std::vector<ResultBeat>& beats) {
  if (!result_path.ends_with(".txt"))
    throw Refusal{
        describe_fault(result_path, {0, "names no lead table (it does not end in .txt)"})};
  const std::string path = lead_table_path(result_path);
  std::error_code error;
  if (!std::filesystem::exists(path, error))
    throw Refusal{describe_fault(
        path, {0, "is not there: the lead table is written with the result file by d"})};
  const LeadTableText text = parse_lead_table(read_input(files, path));
  if (const auto* fault = std::get_if<LineFault>(&text))
    throw Refusal{describe_fault(path, *fault)};
  const auto& table = std::get<std::vector<BeatLeads>>(text);
  if (const auto reason = lead_table_mismatch(table, beats))
    throw Refusal{describe_fault(path, {0, "is not the table of " + result_path + ": " + *reason})};
  return table;
}

// The beats of a result file as a map of `kind` takes them; leads timed in
// no beat are left out of the layout.
std::vector<ResultBeat> beats_of_kind(FileOps& files, const std::string& path, LeadKind kind,
                                      LeadLayout* layout, double* scale) {
  std::vector<ResultBeat> beats = read_beats(files, path);
  if (kind == LeadKind::qrst) return beats;
  KindBeats chosen = kind_beats(read_lead_table(files, path, beats), kind);
  if (layout)
    for (int lead : chosen.untimed_leads) layout->leads(lead).bad = true;
  if (scale) *scale *= chosen.scale;
  return std::move(chosen.beats);
}

LeadLayout read_layout(FileOps& files, const std::string& path) {
  if (path.empty()) return default_layout();
  const LayoutText text = parse_layout(read_input(files, path));
  if (const auto* fault = std::get_if<LayoutFault>(&text))
    throw Refusal{describe_fault(path, *fault)};
  return std::get<LeadLayout>(text);
}

// An output that is one of the inputs would destroy it.
void check_output_apart(const MapArguments& given) {
  const bool tables = given.kind != "qrst";
  for (const std::string& input :
       {given.result_path, given.layout_path, given.minus_path, given.departure_path,
        tables ? lead_table_path(given.result_path) : std::string(),
        tables && !given.minus_path.empty() ? lead_table_path(given.minus_path) : std::string()}) {
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
MapPage departure_map(FileOps& files, const std::vector<ResultBeat>& beats,
                      const std::string& group_path, const LeadLayout& layout, bool layout_given,
                      std::ostream& err) {
  auto read = read_group_file(files, group_path);
  if (const auto* error = std::get_if<std::string>(&read)) throw Refusal{*error};
  const ReferenceGroup& group = std::get<ReferenceGroup>(read);
  // A layout given must place the group's leads, as the other study verbs ask.
  if (layout_given) {
    const auto leads = study_leads(&layout, &group, group_path);
    if (const auto* error = std::get_if<std::string>(&leads)) throw Refusal{*error};
  }
  if (const auto without = name_leads(leads_without_sd(group)))
    err << "beat_analyser map: " << group_path << ": " << *without
        << " without spread in the group: no z there\n";
  const Departure found = departure(group, mean_map(beat_maps(beats), group.leads));
  auto page = make_departure_page(found.z, layout);
  if (const auto* reason = std::get_if<std::string>(&page))
    throw Refusal{describe_fault(group_path, {0, *reason})};
  return std::get<MapPage>(std::move(page));
}

// The departure of a file's mean map of another kind from the group's maps
// of that kind; leads the file or the group gives no value or spread are
// left out and said.
MapPage kind_departure_map(FileOps& files, const std::string& result_path,
                           const std::vector<ResultBeat>& beats, const MapOptions& options,
                           const LeadLayout& layout, std::ostream& err) {
  const std::string& group_path = options.given.departure_path;
  auto read = read_group_file(files, group_path);
  if (const auto* error = std::get_if<std::string>(&read)) throw Refusal{*error};
  const ReferenceGroup& group = std::get<ReferenceGroup>(read);
  const KindMap map =
      kind_mean_map(read_lead_table(files, result_path, beats), options.kind, group.leads);
  const auto of_kind = group_of_kind(group, options.given.kind, map);
  if (!of_kind)
    throw Refusal{describe_fault(group_path, {0, "keeps no " + options.given.kind +
                                                     " maps: it was made from result files "
                                                     "without lead tables"})};
  if (const auto without = name_leads(leads_without_sd(*of_kind)))
    err << "beat_analyser map: " << group_path << ": " << *without
        << " without a value here or spread in the group: no z there\n";
  LeadValues values;
  for (int lead : group.leads) values(lead) = map(lead).value_or(0);
  auto page = make_departure_page(departure(*of_kind, values).z, layout);
  if (const auto* reason = std::get_if<std::string>(&page))
    throw Refusal{describe_fault(group_path, {0, *reason})};
  return std::get<MapPage>(std::move(page));
}

// A map of another kind than the QRST area, from the lead tables.
MapPage kind_page(FileOps& files, const MapOptions& options, std::ostream& err) {
  const MapArguments& given = options.given;
  MapRequest request = options.request;
  LeadLayout layout = read_layout(files, given.layout_path);
  if (request.kind == MapKind::departure) {
    MapPage page = kind_departure_map(files, given.result_path,
                                      read_beats(files, given.result_path), options, layout, err);
    shape_kind_page(page, options.kind);
    return page;
  }
  const std::vector<ResultBeat> beats =
      beats_of_kind(files, given.result_path, options.kind, &layout, &request.scale);
  check_beats_fit(given.result_path, beats, request);
  std::vector<ResultBeat> other;
  if (request.kind == MapKind::difference)
    other = beats_of_kind(files, given.minus_path, options.kind, &layout, nullptr);
  MapPage page =
      request.kind == MapKind::difference
          ? make_difference_page(beats, other, given.result_path, given.minus_path, layout, request)
          : make_page(beats, layout, request);
  shape_kind_page(page, options.kind);
  return page;
}

MapPage page_for(FileOps& files, const MapOptions& options, std::ostream& err) {
  const MapArguments& given = options.given;
  if (options.kind != LeadKind::qrst) return kind_page(files, options, err);
  const std::vector<ResultBeat> beats = read_beats(files, given.result_path);
  check_beats_fit(given.result_path, beats, options.request);
  if (every_area_zero(beats))
    err << "beat_analyser map: note: every area in " << given.result_path
        << " is 0: the fiducial points were not marked\n";
  const LeadLayout layout = read_layout(files, given.layout_path);
  if (options.request.kind == MapKind::difference)
    return make_difference_page(beats, read_beats(files, given.minus_path), given.result_path,
                                given.minus_path, layout, options.request);
  if (options.request.kind == MapKind::departure)
    return departure_map(files, beats, given.departure_path, layout, !given.layout_path.empty(),
                         err);
  if (options.request.kind == MapKind::sheet && beats.size() > options.request.most_frames)
    err << "beat_analyser map: note: the sheet shows the first " << options.request.most_frames
        << " of " << beats.size() << " beats; a larger --size shows more\n";
  return make_page(beats, layout, options.request);
}

}  // namespace

ExitStatus run_map_verb(int argc, char** argv, FileOps& files) {
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
  app.add_option("--kind", given.kind);
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
    const MapPage page = page_for(files, chosen, std::cerr);
    const auto module = module_entries();
    if (const auto* reason = std::get_if<std::string>(&module))
      return line.refuse(*reason, std::cerr);
    MapDrawOptions draw;
    draw.lead_labels = chosen.labels;
    if (auto error = std::get<const ModuleEntries*>(module)->save_map(
            files, chosen.given.output_path, page, chosen.size.width, chosen.size.height, draw))
      return line.refuse(*error, std::cerr);
    return ExitStatus::ok;
  } catch (const Refusal& refusal) {
    return line.refuse(refusal.reason, std::cerr);
  }
}

}  // namespace ba
