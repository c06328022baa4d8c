// beat_analyser map as a person runs it: pictures written in each format,
// and every bad input named with its file and line, status 2 and nothing
// written.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "app/program_runs.h"

namespace ba {
namespace {

namespace fs = std::filesystem;
using test::Outcome;

// Two beats of 64 areas, six to a line as the program writes them.
std::string two_beats() {
  std::string text = "           2\r\n";
  for (int beat = 1; beat <= 2; ++beat) {
    text += "        " + std::to_string(1000 * beat) + "\r\n";
    for (int n = 1; n <= 64; ++n)
      text +=
          std::string("  ") + std::to_string(n * beat - 30) + (n % 6 == 0 || n == 64 ? "\r\n" : "");
  }
  return text;
}

class MapVerb : public ::testing::Test {
 protected:
  void SetUp() override { test::write_host_file(folder / "st.txt", two_beats()); }
  Outcome run(const std::string& arguments) {
    return test::run_beat_analyser(folder, "map " + arguments);
  }
  // Every file of the folder but the inputs: nothing half-written may stay.
  std::vector<std::string> outputs() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name != "st.txt" && name != "layout.csv" && name != "st.leads.csv") names.push_back(name);
    }
    return names;
  }

  test::TempFolder temp{"map_verb"};
  const fs::path& folder = temp.path();
};

TEST_F(MapVerb, WritesEachFormatByItsExtension) {
  struct Row {
    const char* arguments;
    const char* file;
    std::string start;
  };
  const Row rows[] = {
      {"st.txt -o mean.png", "mean.png", "\x89PNG\r\n"},
      {"st.txt --sd -o sd.SVG --size 200x150", "sd.SVG", "<?xml"},
      {"st.txt --sd -o tall.svg --size 200x5000", "tall.svg", "<?xml"},
      {"st.txt -o wide.svg --size 5000x200", "wide.svg", "<?xml"},
      {"st.txt --beat 2 --scale 1e9 --unit mV -o beat.pdf", "beat.pdf", "%PDF"},
      {"st.txt --sheet --no-labels -o sheet.png", "sheet.png", "\x89PNG\r\n"},
      {"st.txt --layout layout.csv --scale -1e-9 -o placed.png", "placed.png", "\x89PNG\r\n"},
      {"st.txt --minus st.txt -o change.png", "change.png", "\x89PNG\r\n"},
  };
  test::write_host_file(folder / "layout.csv",
                        "lead,x,y,bad\n1,0,0,0\n2,5,0,0\n9,0,4,1\n30,2,7,0\n64,6,5,0\n");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.arguments);
    const Outcome done = run(row.arguments);
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(done.err, "");
    EXPECT_EQ(test::read_host_file(folder / row.file).rfind(row.start, 0), 0u);
  }
  EXPECT_EQ(outputs().size(), std::size(rows)) << "no temporary file left behind";
  ASSERT_EQ(run("st.txt --no-labels -o bare.png").status, 0);
  EXPECT_NE(test::read_host_file(folder / "bare.png"), test::read_host_file(folder / "mean.png"))
      << "the lead numbers are drawn unless --no-labels";
}

// The lead table of two_beats(): lead n of beat b activated at n / 4 - 8
// ms and recovered at 240 + n ms, lead 5 never timed.
std::string two_beats_table() {
  std::string text = "beat,r_ms,lead,qrst_area,qrs_area,stt_area,at_ms,rt_ms,ari_ms\n";
  for (int beat = 1; beat <= 2; ++beat)
    for (int n = 1; n <= 64; ++n) {
      const int area = n * beat - 30;
      const bool timed = n != 5;
      text += std::to_string(beat) + "," + std::to_string(1000 * beat) + "," + std::to_string(n) +
              "," + std::to_string(area) + "," + std::to_string(area / 2) + "," +
              std::to_string(area - area / 2) + "," +
              (timed ? std::to_string(n / 4 - 8) + "," + std::to_string(240 + n) + "," +
                           std::to_string(248 + n - n / 4)
                     : std::string(",,")) +
              "\n";
    }
  return text;
}

TEST_F(MapVerb, KindsFromTheLeadTable) {
  ASSERT_EQ(run("st.txt -o plain.png").status, 0);
  ASSERT_EQ(run("st.txt --kind qrst -o qrst.png").status, 0);
  EXPECT_EQ(test::read_host_file(folder / "qrst.png"), test::read_host_file(folder / "plain.png"))
      << "the QRST map is the map without --kind";
  const std::string bad_area = [] {
    std::string t = two_beats_table();
    return t.replace(t.find("\n1,1000,1,-29,"), 15, "\n1,1000,1,-28,");
  }();
  struct Row {
    const char* label;
    std::string table;  // empty: none beside the result file
    const char* options;
    int status;
    std::string err;
  };
  const Row rows[] = {
      {"activation times", two_beats_table(), "--kind at -o at.png", 0, ""},
      {"intervals, one beat a map", two_beats_table(), "--kind ari --sheet -o ari.svg", 0, ""},
      {"the QRS part less itself", two_beats_table(), "--kind qrs --minus st.txt -o qrs.pdf", 0,
       ""},
      {"no table beside the result file", "", "--kind rt -o rt.png", 2,
       "st.leads.csv: is not there: the lead table is written with the result file by d"},
      {"the table of another result file", bad_area, "--kind stt -o stt.png", 2,
       "st.leads.csv: is not the table of st.txt: beat 1 lead 1 has QRST area -28, the result "
       "file -29"},
      {"an unknown kind", two_beats_table(), "--kind qt -o qt.png", 1,
       "--kind needs qrst, qrs, stt, at, rt or ari, not 'qt'"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    fs::remove(folder / "st.leads.csv");
    if (!row.table.empty()) test::write_host_file(folder / "st.leads.csv", row.table);
    const Outcome done = run(std::string("st.txt ") + row.options);
    EXPECT_EQ(done.status, row.status);
    EXPECT_NE(done.err.find(row.err), std::string::npos) << done.err;
    if (row.status == 0) {
      EXPECT_EQ(done.err, "");
    }
  }
  EXPECT_EQ(outputs().size(), 5u) << "plain, qrst and the three maps drawn, nothing else";
}

TEST_F(MapVerb, BadInputsNameFileAndLineAndWriteNothing) {
  struct Row {
    const char* label;
    std::string result;
    std::string layout;
    const char* options;
    std::string message;
    std::uintmax_t layout_size = 0;  // the layout's bytes grown to this size
  };
  const std::string grid = "lead,x,y\n1,0,0\n2,1,0\n3,0,1\n";
  std::string one_beat = "1\n5\n";
  for (int n = 1; n <= 64; ++n) one_beat += "7 ";
  const Row rows[] = {
      {"result file cut short", two_beats().substr(0, 60), "", "",
       "st.txt:4: the file ends before the areas of beat 1"},
      {"a word among the areas", "1\n5\n1 2 x\n", "", "", "st.txt:3: 'x' is not a whole number"},
      {"no beats", "0\n", "", "", "st.txt: holds no beats to map"},
      {"beat beyond the file", two_beats(), "", "--beat 3",
       "st.txt: holds 2 beats; there is no beat 3"},
      {"layout lead twice", two_beats(), grid + "1,2,2\n", "--layout layout.csv",
       "layout.csv:5: lead 1 is listed twice"},
      {"layout unknown column", two_beats(), "lead,x,y,z\n", "--layout layout.csv",
       "layout.csv:1: unknown column 'z' (known: lead, x, y, label, bad)"},
      {"layout too few leads", two_beats(), grid, "--layout layout.csv",
       "layout.csv:4: only 3 usable leads; a map needs at least 4"},
      {"layout missing", two_beats(), "", "--layout none.csv",
       "none.csv: No such file or directory"},
      {"a folder for the layout", two_beats(), "", "--layout .", ".: is a folder, not a file"},
      {"a device for the other file", two_beats(), "", "--minus /dev/zero",
       "/dev/zero: is not a plain file"},
      {"a spread of one beat", one_beat, "", "--sd",
       "st.txt: holds 1 beat; a standard deviation needs at least two"},
      {"a layout one byte over 256 MB", two_beats(), grid, "--layout layout.csv",
       "layout.csv: is too large for this use (over 256 MB)", (256u << 20) + 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    test::write_host_file(folder / "st.txt", row.result);
    if (!row.layout.empty()) test::write_host_file(folder / "layout.csv", row.layout);
    if (row.layout_size) fs::resize_file(folder / "layout.csv", row.layout_size);
    test::write_host_file(folder / "map.png", "earlier picture");
    const Outcome bad = run(std::string("st.txt -o map.png ") + row.options);
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "beat_analyser map: " + row.message + "\n");
    EXPECT_EQ(test::read_host_file(folder / "map.png"), "earlier picture");
    fs::remove(folder / "map.png");
    EXPECT_TRUE(outputs().empty());
  }
}

TEST_F(MapVerb, UnwritableOutputIsStatusTwo) {
  const Outcome bad = run("st.txt -o missing/map.png");
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.err.rfind("beat_analyser map: cannot write missing/map.png: ", 0), 0u) << bad.err;
}

TEST_F(MapVerb, WrongCommandLineIsStatusOneWithAHint) {
  struct Row {
    const char* arguments;
    const char* reason;
  };
  const Row rows[] = {
      {"st.txt", "missing -o OUT.png, OUT.svg or OUT.pdf"},
      {"-o map.png", "missing the result file"},
      {"st.txt -o map.jpg", "the output 'map.jpg' must end in .png, .svg or .pdf"},
      {"st.txt -o map.png --sd --sheet",
       "choose one of --mean, --sd, --beat K, --sheet, --minus and --departure"},
      {"st.txt -o map.png --minus st.txt --beat 1",
       "choose one of --mean, --sd, --beat K, --sheet, --minus and --departure"},
      {"st.txt -o map.png --beat 0", "--beat needs a beat number from 1, not '0'"},
      {"st.txt -o map.png --beat +2x", "--beat needs a beat number from 1, not '+2x'"},
      {"st.txt -o map.png --size 800",
       "--size needs WIDTHxHEIGHT in pixels, from 200x150 to 5000x5000, not '800'"},
      {"st.txt -o map.png --size 800x",
       "--size needs WIDTHxHEIGHT in pixels, from 200x150 to 5000x5000, not '800x'"},
      {"st.txt -o map.png --size 199x150",
       "--size needs WIDTHxHEIGHT in pixels, from 200x150 to 5000x5000, not '199x150'"},
      {"st.txt -o map.png --size 5000x5001",
       "--size needs WIDTHxHEIGHT in pixels, from 200x150 to 5000x5000, not '5000x5001'"},
      {"st.txt -o map.png --scale 0", "--scale needs a number from 1e-9 to 1e9 in size, not '0'"},
      {"st.txt -o map.png --scale -1e10",
       "--scale needs a number from 1e-9 to 1e9 in size, not '-1e10'"},
      {"st.txt -o map.png --colour", "The following argument was not expected: --colour"},
      {"st.txt -o", "--output: 1 required TEXT missing"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.arguments);
    const Outcome wrong = run(row.arguments);
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.err, std::string("beat_analyser map: ") + row.reason +
                             "\nTry 'beat_analyser map --help' for more information.\n");
    EXPECT_TRUE(outputs().empty());
  }
  const Outcome help = run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: beat_analyser map RESULT_FILE -o OUT.(png|svg|pdf)", 0), 0u);
  EXPECT_NE(test::run_beat_analyser(folder, "--help")
                .out.find("  map                 the QRST integral map"),
            std::string::npos)
      << "the program's help lists the verb";
}

TEST_F(MapVerb, NotesBesideAWrittenMap) {
  struct Row {
    const char* label;
    std::string result;
    const char* options;
    std::string note;
  };
  std::string flat = "2\n10\n";
  for (int n = 1; n <= 64; ++n) flat += "0 ";
  flat += "\n20\n";
  for (int n = 1; n <= 64; ++n) flat += "0 ";
  auto beats = [](int count) {
    std::string text = std::to_string(count) + "\n";
    for (int b = 1; b <= count; ++b) {
      text += std::to_string(b * 300) + "\n";
      for (int n = 1; n <= 64; ++n) text += std::to_string(n - b) + " ";
      text += "\n";
    }
    return text;
  };
  const std::string many = beats(90);
  const Row rows[] = {
      {"every area 0", flat, "",
       "note: every area in st.txt is 0: the fiducial points were not marked"},
      {"a sheet beyond its legible count", many, "--sheet",
       "note: the sheet shows the first 81 of 90 beats; a larger --size shows more"},
      {"a larger sheet shows them all", many, "--sheet --size 1600x1000", ""},
      {"a sheet of exactly its legible count", beats(81), "--sheet", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    test::write_host_file(folder / "st.txt", row.result);
    const Outcome done = run(std::string("st.txt -o map.png ") + row.options);
    EXPECT_EQ(done.status, 0);
    EXPECT_EQ(done.err, row.note.empty() ? "" : "beat_analyser map: " + row.note + "\n");
    EXPECT_TRUE(fs::exists(folder / "map.png"));
  }
}

TEST_F(MapVerb, OutputNeverWrittenThroughALinkOrOverAnInput) {
  test::TempFolder outside("map_outside");
  const fs::path precious = outside.path() / "precious.png";
  test::write_host_file(precious, "keep me");
  fs::create_symlink(precious, folder / "linked.png");
  const Outcome linked = run("st.txt -o linked.png");
  EXPECT_EQ(test::read_host_file(precious), "keep me");
  if (linked.status == 0) {
    EXPECT_FALSE(fs::is_symlink(folder / "linked.png")) << "replaced";
  }
  fs::remove(folder / "linked.png");

  test::write_host_file(folder / "layout.png", "lead,x,y\n1,0,0\n2,1,0\n3,0,1\n4,1,1\n");
  const Outcome over_input = run("st.txt --layout layout.png -o layout.png");
  EXPECT_EQ(over_input.status, 2);
  EXPECT_EQ(over_input.err, "beat_analyser map: layout.png: is the input layout.png\n");
  EXPECT_EQ(test::read_host_file(folder / "layout.png").rfind("lead,x,y", 0), 0u);
  EXPECT_EQ(outputs(), std::vector<std::string>{"layout.png"});
}

}  // namespace
}  // namespace ba

namespace ba {
namespace {

// A group of three over the given leads: mean 0, SD 1 except lead 1 (none).
std::string group_over(int leads) {
  std::string lead_list, mean, sd, vector;
  for (int n = 1; n <= leads; ++n) {
    const std::string comma = n == 1 ? "" : ",";
    lead_list += comma + std::to_string(n);
    mean += comma + "0";
    sd += comma + (n == 1 ? "0" : "1");
    vector += comma + (n == 2 ? "1" : "0");
  }
  return R"({"format": "beat-analyser-reference", "version": 1, "count": 3, "leads": [)" +
         lead_list + R"(], "mean": [)" + mean + R"(], "sd": [)" + sd +
         R"(], "basis": [{"eigenvalue": 1, "vector": [)" + vector +
         R"(]}], "files": [{"name": "a", "sha256": ""}, {"name": "b", "sha256": ""},)"
         R"( {"name": "c", "sha256": ""}]})";
}

TEST_F(MapVerb, DepartureFromAGroupSaysTheLeadsWithoutSpread) {
  test::write_host_file(folder / "group.ref.json", group_over(64));
  const Outcome drawn = run("st.txt --departure group.ref.json -o z.png");
  EXPECT_EQ(drawn.status, 0) << drawn.err;
  EXPECT_TRUE(fs::exists(folder / "z.png"));
  EXPECT_NE(drawn.err.find("without spread in the group"), std::string::npos) << drawn.err;

  test::write_host_file(folder / "three.ref.json", group_over(3));
  const Outcome refused = run("st.txt --departure three.ref.json -o few.png");
  EXPECT_EQ(refused.status, 2) << refused.err;
  EXPECT_FALSE(fs::exists(folder / "few.png"));
  EXPECT_EQ(run("st.txt --sd --departure group.ref.json -o both.png").status, 1);
}

}  // namespace
}  // namespace ba
