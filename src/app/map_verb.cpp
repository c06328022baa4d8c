// beat_analyser map: the QRST integral map of a result file, drawn into a
// PNG, SVG or PDF file.

#include <QGuiApplication>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "app/verbs.h"
#include "map/layout.h"
#include "map/page.h"
#include "platform/map_drawing.h"
#include "results/result_file.h"

namespace ba {

namespace {

// Areas are whole numbers up to 2^31; scaled beyond these the values would
// lose all digits or overflow while the map is drawn.
constexpr double smallest_scale = 1e-9;
constexpr double largest_scale = 1e9;
constexpr int exit_usage = 1;  // the command line is wrong
constexpr int exit_input = 2;  // a file could not be read, used or written
// Pixels, --size: a page of 5000 x 5000 already takes 100 MB while drawn.
constexpr int largest_side = 5000;

void print_map_help() {
  std::cout << "Usage: beat_analyser map RESULT_FILE -o OUT.(png|svg|pdf) [OPTION]...\n"
               "Draw the QRST integral map of a result file (NAMEst.txt): the area of each\n"
               "mapping lead where its electrode sits on the torso, interpolated, with\n"
               "isolines, the zero line heavier, and the maximum and minimum marked.\n"
               "\n"
               "  -o, --output FILE   the picture to write; PNG, SVG or PDF by its extension\n"
               "      --mean          the mean over the beats (the default)\n"
               "      --sd            the standard deviation over the beats\n"
               "      --beat K        beat K alone (1 = the earliest), its R time in the title\n"
               "      --sheet         every beat as a small map, in time order, one shared\n"
               "                        colour scale\n"
               "      --layout FILE   electrode places: CSV with the header lead,x,y and\n"
               "                        optional columns label and bad (0 or 1); x grows to\n"
               "                        the right, y downward, in any unit; leads not listed\n"
               "                        or bad are left out (default: 8 x 8 grid, lead n in\n"
               "                        column (n - 1) / 8, row (n - 1) mod 8)\n"
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

struct MapOptions {
  std::string result_path;
  std::string output_path;
  std::optional<std::string> layout_path;
  MapRequest request;
  QSize size = default_map_size;
  bool labels = true;
};

// A wrong command line: the reason and a hint, status 1.
struct UsageError {
  std::string reason;
};
// A file that cannot be used: the message, status 2.
struct InputError {
  std::string message;
};

std::optional<double> real_number(std::string_view text) {
  double value = 0;
  const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || stop != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::optional<int> whole_number(std::string_view text) {
  int value = 0;
  const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || stop != text.data() + text.size()) return std::nullopt;
  return value;
}

QSize picture_size(const std::string& text) {
  const std::size_t x = text.find('x');
  const auto w = whole_number(std::string_view(text).substr(0, x));
  const auto h =
      x == std::string::npos ? std::nullopt : whole_number(std::string_view(text).substr(x + 1));
  if (!w || !h || *w < 200 || *h < 150 || *w > largest_side || *h > largest_side)
    throw UsageError{"--size needs WIDTHxHEIGHT in pixels, from 200x150 to 5000x5000, not '" +
                     text + "'"};
  return {*w, *h};
}

MapOptions parse_map_options(int argc, char** argv) {
  MapOptions options;
  int kinds_chosen = 0;
  for (int k = 1; k < argc; ++k) {
    const std::string word = argv[k];
    auto value = [&]() -> std::string {
      if (k + 1 >= argc) throw UsageError{"option '" + word + "' needs a value"};
      return argv[++k];
    };
    if (word == "--help") {
      print_map_help();
      std::exit(EXIT_SUCCESS);
    } else if (word == "-o" || word == "--output") {
      options.output_path = value();
    } else if (word == "--mean" || word == "--sd" || word == "--sheet") {
      options.request.kind = word == "--mean" ? MapKind::mean
                             : word == "--sd" ? MapKind::sd
                                              : MapKind::sheet;
      ++kinds_chosen;
    } else if (word == "--beat") {
      const std::string text = value();
      const auto beat = whole_number(text);
      if (!beat || *beat < 1)
        throw UsageError{"--beat needs a beat number from 1, not '" + text + "'"};
      options.request.kind = MapKind::beat;
      options.request.beat = *beat;
      ++kinds_chosen;
    } else if (word == "--layout") {
      options.layout_path = value();
    } else if (word == "--scale") {
      const std::string text = value();
      const auto scale = real_number(text);
      if (!scale || !(std::abs(*scale) >= smallest_scale && std::abs(*scale) <= largest_scale))
        throw UsageError{"--scale needs a number from 1e-9 to 1e9 in size, not '" + text + "'"};
      options.request.scale = *scale;
    } else if (word == "--unit") {
      options.request.unit = value();
    } else if (word == "--size") {
      options.size = picture_size(value());
    } else if (word == "--no-labels") {
      options.labels = false;
    } else if (word.size() > 1 && word[0] == '-') {
      throw UsageError{"unknown option '" + word + "'"};
    } else if (options.result_path.empty()) {
      options.result_path = word;
    } else {
      throw UsageError{"unexpected argument '" + word + "'"};
    }
  }
  if (options.result_path.empty()) throw UsageError{"missing the result file"};
  if (options.output_path.empty()) throw UsageError{"missing -o OUT.png, OUT.svg or OUT.pdf"};
  if (!map_file_type_known(options.output_path))
    throw UsageError{"the output '" + options.output_path + "' must end in .png, .svg or .pdf"};
  if (kinds_chosen > 1) throw UsageError{"choose one of --mean, --sd, --beat K and --sheet"};
  return options;
}

std::string read_whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError{"cannot read " + path + ": " + std::strerror(errno)};
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw InputError{"cannot read " + path + ": " + std::strerror(errno)};
  return bytes.str();
}

std::vector<ResultBeat> read_beats(const MapOptions& options) {
  const ResultFileText text = parse_result_file(read_whole_file(options.result_path));
  if (const auto* fault = std::get_if<LineFault>(&text))
    throw InputError{options.result_path + ":" + std::to_string(fault->line) + ": " +
                     fault->reason};
  const auto& beats = std::get<std::vector<ResultBeat>>(text);
  if (beats.empty()) throw InputError{options.result_path + ": holds no beats to map"};
  if (options.request.kind == MapKind::beat &&
      options.request.beat > static_cast<int>(beats.size()))
    throw InputError{options.result_path + ": holds " + std::to_string(beats.size()) +
                     " beats; there is no beat " + std::to_string(options.request.beat)};
  return beats;
}

LeadLayout read_layout(const MapOptions& options) {
  if (!options.layout_path) return default_layout();
  const LayoutText text = parse_layout(read_whole_file(*options.layout_path));
  if (const auto* fault = std::get_if<LayoutFault>(&text))
    throw InputError{*options.layout_path +
                     (fault->line > 0 ? ":" + std::to_string(fault->line) : std::string()) + ": " +
                     fault->reason};
  return std::get<LeadLayout>(text);
}

// Qt reports about its environment would be noise beside the verb's own.
void keep_only_serious_qt_messages(QtMsgType type, const QMessageLogContext&,
                                   const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::cerr << "beat_analyser: " << message.toStdString() << std::endl;
}

}  // namespace

int run_map_verb(int argc, char** argv) {
  try {
    const MapOptions options = parse_map_options(argc, argv);
    const std::vector<ResultBeat> beats = read_beats(options);
    const LeadLayout layout = read_layout(options);
    const MapPage page = make_page(beats, layout, options.request);
    // Drawing text needs a GUI application; the map is never shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(keep_only_serious_qt_messages);
    int qt_argc = 1;
    QGuiApplication application(qt_argc, argv);
    MapDrawOptions draw;
    draw.lead_labels = options.labels;
    if (auto error = save_map_file(options.output_path, page, options.size, draw))
      throw InputError{*error};
    return EXIT_SUCCESS;
  } catch (const UsageError& error) {
    std::cerr << "beat_analyser map: " << error.reason << "\n"
              << "Try 'beat_analyser map --help' for more information.\n";
    return exit_usage;
  } catch (const InputError& error) {
    std::cerr << "beat_analyser map: " << error.message << "\n";
    return exit_input;
  }
}

}  // namespace ba
