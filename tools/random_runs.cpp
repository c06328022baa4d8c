// Random headless runs of beat_analyser, repeatable by number,, as a careless person would
// type them: mostly the right answers, with slips (junk text, control bytes,
// clicks anywhere, a huge line, the input ending early), over the
// demonstration recording and hostile ones (all zero, all 0x7fff,
// alternating extremes, one huge spike). Meant for the sanitizer build.
//
// A run fails on a crash, a sanitizer report, an exit status other than 0 to
// 3, a hang (10 s), a file created outside the data and snapshot folders, a
// temporary file left in the data folder, or a result file that does not
// have the result file's form. Run number k draws its choices from a
// generator started at k, so a failing run is repeated with --first k
// --runs 1; its script and outputs stay in the work folder.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "demo_model.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view usage_text =
    "Usage: random_runs --program PATH [--runs N] [--first K] [--work DIR] [--source DIR]\n"
    "                   [--keep-all]\n"
    "Runs PATH (beat_analyser, best its sanitizer build) headless N times (default 200)\n"
    "on generated scripts numbered K, K+1, ... (default 1). Failing runs are kept under\n"
    "DIR (default random-runs) with their script, output and files; passing ones are\n"
    "removed. The source folder (default .) gives tests/app/lsan_suppressions.txt,\n"
    "which silences the window system's own leaks. --keep-all keeps passing runs too.\n"
    "Exit status 0 when every run passed. 10,000 runs, as a longer hunt:\n"
    "  random_runs --program build-sanitize/beat_analyser --runs 10000 --first 1\n";

constexpr auto time_limit = std::chrono::seconds(10);

struct Options {
  fs::path program;
  int runs = 200;
  std::uint64_t first = 1;  // number of the first run
  fs::path work = fs::absolute("random-runs");
  fs::path source = ".";
  bool keep_all = false;
};

// ---- Recordings -------------------------------------------------------

enum class Recording { demo, zero, top, alternating, spike };

struct RecordingFile {
  std::string name;  // recording name, at most 5 characters
  std::vector<unsigned char> bytes;
};

// Big-endian 16-bit words, channel after channel within each frame.
void put_word(std::vector<unsigned char>& bytes, std::size_t word, std::uint16_t value) {
  bytes[2 * word] = static_cast<unsigned char>(value >> 8);
  bytes[2 * word + 1] = static_cast<unsigned char>(value & 0xFF);
}

RecordingFile make_recording(Recording kind, std::mt19937_64& random) {
  const std::size_t words = ba::recording_bytes / 2;
  RecordingFile file;
  file.bytes.assign(ba::recording_bytes, 0);
  switch (kind) {
    case Recording::demo: {
      static const std::vector<unsigned char> demo = ba::demo::DemoModel().recording_bytes();
      file.name = "demo";
      file.bytes = demo;
      break;
    }
    case Recording::zero:
      file.name = "zero";
      break;
    case Recording::top:
      file.name = "top";
      for (std::size_t w = 0; w < words; ++w) put_word(file.bytes, w, 0x7FFF);
      break;
    case Recording::alternating:
      file.name = "alt";
      for (std::size_t w = 0; w < words; ++w) put_word(file.bytes, w, w % 2 ? 0x8000 : 0x7FFF);
      break;
    case Recording::spike: {
      file.name = "spike";
      // One sample at full scale in one channel, often a displayed lead.
      const std::size_t position = random() % ba::recorded_samples;
      const std::size_t channel = random() % 2 ? 21 : 1 + random() % ba::channel_count;
      put_word(file.bytes, position * ba::channel_count + channel - 1,
               random() % 2 ? 0x7FFF : 0x8000);
      break;
    }
  }
  return file;
}

// ---- Scripts ----------------------------------------------------------

class ScriptMaker {
 public:
  explicit ScriptMaker(std::uint64_t run_number) : random_(run_number) {}

  std::mt19937_64& random() { return random_; }

  // A whole session: start-up, name, some menu commands, the end. A
  // recording without signal in its first seconds asks for any number and
  // ends; the person types one, mostly.
  std::string script(const std::string& name, bool silent_start) {
    demo_ = name == "demo";
    startup();
    line(chance(0.05) ? junk() : name);
    if (silent_start && chance(0.7)) line(std::to_string(between(0, 9)));
    const int commands = 1 + static_cast<int>(random_() % 8);
    for (int i = 0; i < commands; ++i) command();
    line("x");
    std::string text = out_.str();
    // The input ends early now and then, anywhere.
    if (chance(0.1) && !text.empty()) text.resize(random_() % text.size());
    return text;
  }

 private:
  bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }
  int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  // A typed answer; sometimes junk instead.
  void line(const std::string& text) { out_ << (chance(0.03) ? junk() : text) << '\n'; }

  // A click near (x, y) in the trace area, or sometimes anywhere, even off the window.
  void click(int x, int y) {
    if (chance(0.05)) {
      out_ << (chance(0.5) ? "!click " : "!rclick ") << between(-20, 1100) << ' '
           << between(-20, 800) << '\n';
      return;
    }
    out_ << "!click " << x + between(-3, 3) << ' ' << y + between(-3, 3) << '\n';
  }

  std::string junk() {
    switch (random_() % 8) {
      case 0:
        return "";
      case 1:
        return "\x1b[2J";
      case 2:
        return std::string("a\0b", 3);
      case 3:
        return "\xff\xfe\xc2\x9b";
      case 4:
        return std::string(between(1, 3) == 1 ? 100000 : 200, 'y');
      case 5:
        return "!!click 1 2";
      case 6:
        return "!click 3";
      default: {
        std::string bytes(static_cast<std::size_t>(between(1, 20)), ' ');
        for (char& c : bytes) {
          c = static_cast<char>(random_() % 256);
          if (c == '\n') c = ' ';
        }
        return bytes;
      }
    }
  }

  void startup() {
    if (chance(0.8)) {
      line("1");
      return;
    }
    line("0");
    if (chance(0.5)) {
      line("1");
    } else {
      line("0");
      // Now and then a lead outside the recording, which is asked again.
      for (int i = 0; i < 3; ++i) line(std::to_string(chance(0.9) ? between(-7, 64) : 99));
    }
    for (int i = 0; i < 2; ++i) {
      if (chance(0.5)) {
        line("1");
      } else {
        line("0");
        line(std::to_string(between(0, 120)));
      }
    }
    line(std::to_string(between(0, 2)));
  }

  // s: pick the beat and confirm; then mark PQ, Q start and T end and
  // confirm, as often as wished, and leave the marking menu. Declining the
  // beat goes straight back to the main menu.
  void select() {
    line("s");
    click(208, 150);
    if (chance(0.15)) {
      line("n");
      return;
    }
    line("y");
    has_template_ = true;
    for (int pass = chance(0.2) ? 2 : 1; pass > 0; --pass) {
      line("s");
      click(78, 150);
      click(93, 150);
      click(348, 150);
      line(chance(0.85) ? "y" : "n");
    }
    line("x");
  }

  // v: one click per accepted beat. On the demonstration recording the
  // person mostly clicks exactly as many times as there are beats.
  void view() {
    line("v");
    // Without a reference beat the command only says so; a person would
    // rarely click on.
    if (!has_template_ && chance(0.9)) return;
    if (demo_ && chance(0.8)) {
      for (int page = 0; page < 4; ++page) {
        for (int i = 0; i < 7; ++i) click(300, 150);
        out_ << "!rclick 700 200\n";
      }
      return;
    }
    for (int i = between(0, 40); i > 0; --i) {
      if (chance(0.1))
        out_ << "!rclick 700 200\n";
      else
        click(300, 150);
    }
  }

  void command() {
    switch (random_() % 6) {
      case 0:
      case 1:
        select();
        break;
      case 2:
        line("c");
        break;
      case 3:
        view();
        break;
      case 4:
        line("d");
        line(chance(0.7) ? "y" : "n");
        break;
      default:
        line(chance(0.5) ? "o" : junk());
        break;
    }
  }

  std::mt19937_64 random_;
  std::ostringstream out_;
  bool demo_ = false;
  bool has_template_ = false;  // a beat was confirmed with s
};

// ---- Checks -----------------------------------------------------------

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A 12-character field holding one right-aligned integer.
bool is_integer_field(std::string_view field) {
  std::size_t i = field.find_first_not_of(' ');
  if (field.size() != 12 || i == std::string_view::npos) return false;
  if (field[i] == '-') ++i;
  if (i == field.size()) return false;
  for (; i < field.size(); ++i)
    if (field[i] < '0' || field[i] > '9') return false;
  return true;
}

// The result file's form: the beat count, then per beat its R position and
// 64 areas in lines of six, six, ..., four values; CRLF after every line.
std::string result_file_problem(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) return "the last line has no CRLF";
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  if (lines.empty() || !is_integer_field(lines[0])) return "no beat count";
  const long beats = std::stol(lines[0]);
  if (beats < 0 || beats > 200) return "beat count out of range";
  if (lines.size() != static_cast<std::size_t>(1 + 12 * beats)) return "wrong number of lines";
  for (std::size_t l = 1; l < lines.size(); ++l) {
    const std::size_t in_beat = (l - 1) % 12;
    const std::size_t fields = in_beat == 0 ? 1 : in_beat == 11 ? 4 : 6;
    if (lines[l].size() != 12 * fields)
      return "line " + std::to_string(l + 1) + " has the wrong length";
    for (std::size_t f = 0; f < fields; ++f)
      if (!is_integer_field(std::string_view(lines[l]).substr(12 * f, 12)))
        return "line " + std::to_string(l + 1) + " holds a field that is not a number";
  }
  return "";
}

// Everything the run left in its folder must lie in the data or snapshot
// folder, and no temporary file may stay behind in the data folder.
std::string stray_files(const fs::path& folder) {
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const fs::path relative = fs::relative(entry.path(), folder);
    const std::string top = relative.begin()->string();
    if (top != "data" && top != "snap")
      return "a file outside the data folders: " + relative.string();
    if (top == "data" && relative.filename().string().find(".tmp") != std::string::npos)
      return "a temporary file left behind: " + relative.string();
  }
  return "";
}

bool has_sanitizer_report(const std::string& err) {
  for (const char* mark : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                           "runtime error:", "SUMMARY: UndefinedBehaviorSanitizer"})
    if (err.find(mark) != std::string::npos) return true;
  return false;
}

// ---- One run ----------------------------------------------------------

struct Outcome {
  std::string failure;  // empty when the run passed
  int status = -1;
};

// Starts the program in `folder` with the script on its standard input and
// waits at most `time_limit`; the child leads its own process group so that
// a hang is ended with everything it started.
Outcome run_program(const Options& options, const fs::path& folder, const fs::path& io) {
  const pid_t child = ::fork();
  if (child < 0) return {"cannot start the program", -1};
  if (child == 0) {
    ::setpgid(0, 0);
    if (::chdir(folder.c_str()) != 0) ::_exit(127);
    const int in = ::open((io / "script.txt").c_str(), O_RDONLY);
    const int out = ::open((io / "stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open((io / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execl(options.program.c_str(), options.program.c_str(), "--headless", "--data-dir", "data",
            "--snapshot-dir", "snap", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const auto give_up_at = std::chrono::steady_clock::now() + time_limit;
  int raw = 0;
  for (;;) {
    const pid_t done = ::waitpid(child, &raw, WNOHANG);
    if (done == child) break;
    if (std::chrono::steady_clock::now() > give_up_at) {
      ::kill(-child, SIGKILL);
      ::waitpid(child, &raw, 0);
      return {"no end within 10 s (a hang)", -1};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (WIFSIGNALED(raw)) return {"ended by signal " + std::to_string(WTERMSIG(raw)), -1};
  const int status = WEXITSTATUS(raw);
  if (status == 127) return {"the program could not be started", status};
  if (status > 3) return {"exit status " + std::to_string(status), status};
  return {"", status};
}

Outcome one_run(const Options& options, std::uint64_t run_number, const fs::path& base) {
  ScriptMaker maker(run_number);
  const auto kind = static_cast<Recording>(maker.random()() % 2 ? 0 : 1 + maker.random()() % 4);
  RecordingFile recording = make_recording(kind, maker.random());
  const fs::path folder = base / "run";
  const fs::path io = base / "io";
  fs::create_directories(folder / "data");
  fs::create_directories(io);
  write_file(folder / "data" / (recording.name + ".dat"),
             std::string_view(reinterpret_cast<const char*>(recording.bytes.data()),
                              recording.bytes.size()));
  write_file(io / "script.txt",
             maker.script(recording.name, kind == Recording::zero || kind == Recording::top ||
                                              kind == Recording::spike));

  Outcome outcome = run_program(options, folder, io);
  const std::string err = read_file(io / "stderr.txt");
  if (outcome.failure.empty() && has_sanitizer_report(err)) outcome.failure = "a sanitizer report";
  if (outcome.failure.empty()) outcome.failure = stray_files(folder);
  const fs::path result = folder / "data" / (recording.name + "st.txt");
  if (outcome.failure.empty() && fs::exists(result)) {
    const std::string problem = result_file_problem(read_file(result));
    if (!problem.empty()) outcome.failure = "result file: " + problem;
  }
  return outcome;
}

bool parse_options(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help") {
      std::cout << usage_text;
      std::exit(0);
    }
    if (option == "--keep-all") {
      options.keep_all = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    const std::string value = argv[++i];
    if (option == "--program")
      options.program = fs::absolute(value);
    else if (option == "--runs")
      options.runs = std::stoi(value);
    else if (option == "--first")
      options.first = std::stoull(value);
    else if (option == "--work")
      options.work = fs::absolute(value);
    else if (option == "--source")
      options.source = value;
    else
      return false;
  }
  return !options.program.empty() && options.runs >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    if (!parse_options(argc, argv, options)) {
      std::cerr << usage_text;
      return 1;
    }
  } catch (const std::exception&) {
    std::cerr << usage_text;
    return 1;
  }
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const fs::path suppressions =
      fs::absolute(options.source / "tests" / "app" / "lsan_suppressions.txt");
  if (fs::exists(suppressions))
    ::setenv("LSAN_OPTIONS", ("suppressions=" + suppressions.string()).c_str(), 0);
  fs::create_directories(options.work);

  int failures = 0;
  int statuses[4] = {0, 0, 0, 0};
  for (int n = 0; n < options.runs; ++n) {
    const std::uint64_t run_number = options.first + static_cast<std::uint64_t>(n);
    const fs::path base = options.work / ("run-" + std::to_string(run_number));
    fs::remove_all(base);
    const Outcome outcome = one_run(options, run_number, base);
    if (outcome.failure.empty()) {
      ++statuses[outcome.status];
      if (!options.keep_all) fs::remove_all(base);
      continue;
    }
    ++failures;
    std::cout << "run " << run_number << ": " << outcome.failure << " (kept in " << base.string()
              << ")" << std::endl;
  }
  std::cout << options.runs << " runs, " << failures << " failed; exit status 0: " << statuses[0]
            << ", 1: " << statuses[1] << ", 2: " << statuses[2] << ", 3: " << statuses[3]
            << std::endl;
  return failures == 0 ? 0 : 1;
}
