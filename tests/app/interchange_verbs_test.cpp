// The import and export verbs as a person runs them: what they write, and
// for every bad input the one message, the exit status and nothing written.

#include <gtest/gtest.h>
#include <matio.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>

#include "app/program_runs.h"
#include "support/build_paths.h"
#include "support/edf_bytes.h"

namespace ba {
namespace {

namespace fs = std::filesystem;
using test::Outcome;

std::set<std::string> files_in(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    names.insert(fs::relative(entry.path(), folder).string());
  return names;
}

// One signal "ecg" in uV at 1000 per second, `records` seconds long.
test::EdfContents one_signal(int records) {
  test::EdfContents contents;
  contents.records = records;
  test::EdfSignalContents signal;
  signal.label = "ecg";
  signal.value = [](std::int64_t i) { return static_cast<std::int32_t>(i % 100); };
  contents.signals.push_back(signal);
  return contents;
}

class InterchangeVerbs : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs::exists(ba::test::binary_dir() / "beat_analyser")); }
  Outcome run(const std::string& arguments) { return test::run_beat_analyser(folder, arguments); }
  void write(const std::string& name, const std::string& bytes) {
    test::write_host_file(folder / name, bytes);
  }

  test::TempFolder temp{"interchange_verbs"};
  const fs::path& folder = temp.path();
};

TEST_F(InterchangeVerbs, ImportRefusesEveryBadInputAndWritesNothing) {
  std::string good = test::edf_bytes(one_signal(33));  // 512 + 33 x 2000 bytes
  write("good.edf", good);
  write("notes.edf", "hello, this is no recording");
  write("cut.edf", good.substr(0, good.size() - 10));
  std::string lying = good;
  lying.replace(236, 8, "30      ");
  write("lying.edf", lying);
  std::string lying_header = good;
  lying_header.replace(184, 8, "768     ");
  write("lying_header.edf", lying_header);
  std::string no_samples = good;
  no_samples.replace(472, 8, "0       ");  // signal 1's samples per record
  write("no_samples.edf", no_samples);
  write("short.edf", test::edf_bytes(one_signal(20)));
  test::EdfContents gapped = one_signal(33);
  gapped.reserved = "EDF+D";
  test::EdfSignalContents annotations;
  annotations.label = "EDF Annotations";
  annotations.dimension = "";
  annotations.samples_per_record = 30;
  gapped.signals.push_back(annotations);
  write("gapped.edf", test::edf_bytes(gapped));
  write("taken.dat", "keep me");
  fs::create_directory(folder / "data");
  fs::create_hard_link(folder / "good.edf", folder / "link.dat");
  ASSERT_EQ(::mkfifo((folder / "pipe.edf").c_str(), 0600), 0);
  test::EdfContents notes_only;
  notes_only.reserved = "EDF+C";
  notes_only.records = 40;
  notes_only.signals.push_back(test::annotation_signal());
  write("notes_only.edf", test::edf_bytes(notes_only));
  const auto before = files_in(folder);

  const std::string prefix = "beat_analyser import: ";
  struct Row {
    const char* label;
    std::string arguments;
    std::string message;
  } rows[] = {
      {"not EDF or BDF", "notes.edf -o data/a.dat",
       "notes.edf: is not an EDF or BDF file (it does not start as one)"},
      {"truncated", "cut.edf -o data/a.dat",
       "cut.edf: is truncated: it holds 66502 bytes, its header announces 66512"},
      {"header lies about the records", "lying.edf -o data/a.dat",
       "lying.edf: its header lies about its sizes: it announces 60512 bytes, the file holds "
       "66512"},
      {"header lies about its own size", "lying_header.edf -o data/a.dat",
       "lying_header.edf: its header lies about its size: it says 768 bytes, but 1 signals "
       "need 512"},
      {"a signal with no samples in a record", "no_samples.edf -o data/a.dat",
       "no_samples.edf: its header is damaged: signal 1 has no valid number of samples per "
       "record"},
      {"discontinuous EDF+D", "gapped.edf -o data/a.dat",
       "gapped.edf: is a discontinuous recording (EDF+D or BDF+D); only continuous "
       "recordings can be imported"},
      {"too short", "short.edf -o data/a.dat",
       "short.edf: the recording lasts 20 s, too short for 32 s from 0 s"},
      {"too short after the start", "good.edf --start 1.5 -o data/a.dat",
       "good.edf: the recording lasts 33 s, too short for 32 s from 1.5 s"},
      {"a start beyond the end whose milliseconds overflow the arithmetic",
       "good.edf --start 9.2e12 -o data/a.dat",
       "good.edf: --start 9.2e12 lies beyond the end of the recording (it lasts 33 s)"},
      {"a start beyond any whole number of milliseconds", "good.edf --start 1e308 -o data/a.dat",
       "good.edf: --start 1e308 lies beyond the end of the recording (it lasts 33 s)"},
      {"annotations and no signal", "notes_only.edf -o data/a.dat",
       "notes_only.edf: holds no signals, only annotations"},
      {"a pipe, which would never end", "pipe.edf -o data/a.dat", "pipe.edf: is not a plain file"},
      {"the output is the input under another name", "good.edf -o link.dat --force",
       "link.dat is good.edf itself; write the recording elsewhere"},
      {"unknown label", "good.edf --channels ecg,Cz -o data/a.dat",
       "good.edf: --channels: no signal is labelled 'Cz' and it is no signal number (the "
       "file's labels: ecg)"},
      {"missing file", "none.edf -o data/a.dat",
       "none.edf: cannot be opened: No such file or directory"},
      {"six-character name: the program would read 'abcdef', not 'abcdef.dat'",
       "good.edf -o data/abcdef.dat",
       "data/abcdef.dat: the program cannot open this name; write NAME.dat where NAME has at "
       "most five characters and no blanks, folder separators, ':' or '..'"},
      {"name with a blank", "good.edf -o 'data/a b.dat'",
       "data/a b.dat: the program cannot open this name; write NAME.dat where NAME has at "
       "most five characters and no blanks, folder separators, ':' or '..'"},
      {"not .dat", "good.edf -o data/a.edf",
       "data/a.edf: the program cannot open this name; write NAME.dat where NAME has at "
       "most five characters and no blanks, folder separators, ':' or '..'"},
      {"existing recording without --force", "good.edf -o taken.dat",
       "taken.dat exists; add --force to replace it"},
      {"missing folder", "good.edf -o nowhere/a.dat",
       "cannot write nowhere/a.dat: No such file or directory"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const Outcome outcome = run("import " + row.arguments);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err, prefix + row.message + "\n");
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(files_in(folder), before);
  }
  EXPECT_EQ(test::read_host_file(folder / "taken.dat"), "keep me");
}

TEST_F(InterchangeVerbs, ImportSaysWhichChannelsStayEmptyAndReplacesOnlyWithForce) {
  write("good.edf", test::edf_bytes(one_signal(34)));
  write("taken.dat", "keep me");
  const Outcome outcome = run("import good.edf --start 1.001 -o taken.dat --force");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.err, "beat_analyser import: no signal for channel(s) 2-72; they hold 0\n");
  EXPECT_EQ(outcome.out, "wrote taken.dat: 32 s from 1.001 s of good.edf\n");
  const std::string bytes = test::read_host_file(folder / "taken.dat");
  ASSERT_EQ(bytes.size(), 4'608'000u);
  // Channel 1 at position 1 is sample 1001 of the file (1.001 s is
  // 1000.99... ms in binary), 1001 % 100 = 1; at position 2 it is 2;
  // channel 2 is 0.
  EXPECT_EQ(bytes.substr(0, 4), std::string("\0\1\0\0", 4));
  EXPECT_EQ(bytes.substr(144, 2), std::string("\0\2", 2));
  EXPECT_EQ(files_in(folder), (std::set<std::string>{"good.edf", "taken.dat"}));

  // At 1000 units per uV the values 33..99 of every 100 clip: 67 x 320.
  const Outcome clipped =
      run("import good.edf --start 0 --units-per-uv 1000 --channels ecg,1 -o big.dat");
  EXPECT_EQ(clipped.status, 0);
  EXPECT_EQ(clipped.err,
            "beat_analyser import: no signal for channel(s) 3-72; they hold 0\n"
            "beat_analyser import: channel 1 (signal 1 'ecg'): 21440 samples beyond the 16-bit "
            "range, clipped\n"
            "beat_analyser import: channel 2 (signal 1 'ecg'): 21440 samples beyond the 16-bit "
            "range, clipped\n");
}

// Signals past the 72nd are left out by default, and the person is told so;
// a label from the file is shown quoted.
TEST_F(InterchangeVerbs, ImportSaysWhatIsLeftOutOfAWideFile) {
  test::EdfContents contents = one_signal(32);
  contents.signals.front().label = "it's";
  for (int s = 2; s <= 75; ++s) {
    test::EdfSignalContents signal;
    signal.label = "s" + std::to_string(s);
    signal.value = [](std::int64_t) { return 0; };
    contents.signals.push_back(signal);
  }
  write("wide.edf", test::edf_bytes(contents));
  const Outcome outcome = run("import wide.edf --units-per-uv 1000 -o wide.dat");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.err,
            "beat_analyser import: the file has 75 signals; signals 73-75 are left out "
            "(--channels chooses others)\n"
            "beat_analyser import: channel 1 (signal 1 'it\\'s'): 21440 samples beyond the "
            "16-bit range, clipped\n");
  // The last channel alone left empty is named too.
  const Outcome gap = run("import wide.edf --channels 1-71 -o gap.dat");
  EXPECT_EQ(gap.status, 0) << gap.err;
  EXPECT_EQ(gap.err, "beat_analyser import: no signal for channel(s) 72; they hold 0\n");
}

TEST_F(InterchangeVerbs, DemonstrationRecordingThroughEdfPlusComesBackIdentical) {
  test::write_demo_recording(folder / "demo.dat");
  // One beat at 1,387 ms, all areas 0, as command d writes it.
  std::string result = "           1\r\n        1387\r\n";
  for (int line = 1; line <= 11; ++line)
    for (int value = 1; value <= (line < 11 ? 6 : 4) + 1; ++value)
      result += value <= (line < 11 ? 6 : 4) ? "           0" : "\r\n";
  write("demost.txt", result);
  Outcome outcome = run("export demo.dat --edf demo.edf --result demost.txt --units-per-uv 1");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  fs::create_directory(folder / "back");
  outcome = run("import demo.edf -o back/demo.dat");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.err, "");
  EXPECT_TRUE(test::read_host_file(folder / "back" / "demo.dat") ==
              test::read_host_file(folder / "demo.dat"));
  // A record name with each end of the letters and digits WFDB allows.
  fs::rename(folder / "demo.dat", folder / "AZaz_09.dat");
  outcome = run("export AZaz_09.dat --wfdb --units-per-uv 4");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  const std::string header = test::read_host_file(folder / "AZaz_09.hea");
  EXPECT_EQ(header.substr(0, header.find('\n')), "AZaz_09 72 1000 32000");
  EXPECT_NE(header.find("\nAZaz_09.dat 61 4/uV 16 0 "), std::string::npos);
}

// The demonstration run of tests/runs/demo_compute, then its result file and
// log as tables: 32 beats kept of 37 candidates, five struck out.
TEST_F(InterchangeVerbs, DemonstrationRunAsTables) {
  test::write_demo_recording(folder / "demo.dat");
  const fs::path run_case = ba::test::source_dir() / "tests" / "runs" / "demo_compute";
  const Outcome session = test::run_beat_analyser(
      folder, "--headless --data-dir . --snapshot-dir snapshots",
      test::read_host_file(run_case / "input.txt"), "QT_QPA_PLATFORM=offscreen");
  ASSERT_EQ(session.status, 0) << session.err;
  EXPECT_EQ(run("export demostlog.txt --csv audit.csv").status, 0);
  EXPECT_EQ(test::read_host_file(folder / "audit.csv"),
            test::read_host_file(run_case / "exported_audit.csv"));
  EXPECT_EQ(run("export demost.txt --csv areas.csv").status, 0);
  const std::string areas = test::read_host_file(folder / "areas.csv");
  EXPECT_EQ(areas, test::read_host_file(run_case / "exported_areas.csv"));

  // The same result file for MATLAB, with a layout that places five leads,
  // the last lead among them.
  write("layout.csv", "lead,x,y,label\n1,0,0,A\n2,1,0,B\n3,0,1,C\n4,1,1,D\n64,2,2,Z\n");
  const Outcome mat = run("export demost.txt --mat demo.mat --layout layout.csv");
  ASSERT_EQ(mat.status, 0) << mat.err;
  mat_t* file = Mat_Open((folder / "demo.mat").c_str(), MAT_ACC_RDONLY);
  ASSERT_TRUE(file);
  matvar_t* name = Mat_VarRead(file, "recording");
  matvar_t* table = Mat_VarRead(file, "areas");
  matvar_t* layout = Mat_VarRead(file, "layout");
  Mat_Close(file);
  ASSERT_TRUE(name && table && layout);
  EXPECT_EQ(layout->dims[0] * layout->dims[1], 1u);  // one structure, not an array
  EXPECT_EQ(std::string(static_cast<const char*>(name->data), name->nbytes), "demo");
  EXPECT_EQ(table->dims[0], 32u);
  EXPECT_EQ(table->dims[1], 64u);
  // Beat 1, lead 1: the third field of the table's second row.
  const std::string row = areas.substr(areas.find('\n') + 1);
  const std::string lead_1 =
      row.substr(row.find(',', 2) + 1, row.find(',', row.find(',', 2) + 1) - row.find(',', 2) - 1);
  EXPECT_EQ(static_cast<const double*>(table->data)[0], std::stod(lead_1));
  matvar_t* labels = Mat_VarGetStructFieldByName(layout, "label", 0);
  ASSERT_TRUE(labels);
  matvar_t* second = Mat_VarGetCell(labels, 1);
  ASSERT_TRUE(second);
  EXPECT_EQ(std::string(static_cast<const char*>(second->data), second->nbytes), "B");
  matvar_t* last = Mat_VarGetCell(labels, 63);
  ASSERT_TRUE(last);
  EXPECT_EQ(std::string(static_cast<const char*>(last->data), last->nbytes), "Z");
  for (matvar_t* variable : {name, table, layout}) Mat_VarFree(variable);

  // A result file named just st.txt has no NAME before the suffix: its stem.
  write("st.txt", "           0\r\n");
  ASSERT_EQ(run("export st.txt --mat st.mat").status, 0);
  file = Mat_Open((folder / "st.mat").c_str(), MAT_ACC_RDONLY);
  ASSERT_TRUE(file);
  name = Mat_VarRead(file, "recording");
  Mat_Close(file);
  ASSERT_TRUE(name);
  EXPECT_EQ(std::string(static_cast<const char*>(name->data), name->nbytes), "st");
  Mat_VarFree(name);
}

TEST_F(InterchangeVerbs, ExportRefusesBadInputsNamingFileAndLine) {
  write("bad.txt", "           2\r\n         435\r\n   x\r\n");
  write("badlog.txt", " selected time 1187\r\n k= 1 r= 0.9 ; time_dif 0 5\r\n k= 4\r\n");
  write("log.txt", " selected time 1187\r\n");
  write("good.txt", "           0\r\n");
  write("short.dat", std::string(100, '\0'));
  write("my-rec.dat", std::string(4'608'000, '\0'));
  write("rec.hea", std::string(4'608'000, '\0'));
  write("long.dat", std::string(4'608'001, '\0'));
  write("empty.csv", "");
  write("huge.txt", "");
  fs::resize_file(folder / "huge.txt", std::uintmax_t{4} << 30);  // sparse: no disk used
  fs::create_hard_link(folder / "my-rec.dat", folder / "link.edf");
  fs::create_symlink("good.txt", folder / "soft.csv");
  ASSERT_EQ(::mkfifo((folder / "pipe.txt").c_str(), 0600), 0);
  const auto before = files_in(folder);
  const std::string prefix = "beat_analyser export: ";
  struct Row {
    const char* label;
    std::string arguments;
    std::string message;
  } rows[] = {
      {"result file that stops making sense", "bad.txt --csv out.csv",
       "bad.txt:3: 'x' is not a whole number"},
      {"log with a broken record", "badlog.txt --csv out.csv",
       "badlog.txt:3: a k= record needs k, r=, ;  time_dif, the shift and the position"},
      {"--long of a log", "log.txt --csv out.csv --long",
       "log.txt: --long is for result files; this is a log"},
      {"missing input", "none.txt --csv out.csv", "none.txt: cannot be opened"},
      {"short recording to EDF", "short.dat --edf out.edf",
       "short.dat: holds 100 bytes; a recording holds 4608000 (32000 frames of 72 16-bit "
       "samples)"},
      {"bad result file for the annotations", "my-rec.dat --edf out.edf --result bad.txt",
       "bad.txt:3: 'x' is not a whole number"},
      {"short recording to WFDB", "short.dat --wfdb",
       "short.dat: holds 100 bytes; a recording holds 4608000 (32000 frames of 72 16-bit "
       "samples)"},
      {"a name WFDB cannot take", "my-rec.dat --wfdb",
       "my-rec.dat: WFDB record names hold only letters, digits and underscores; 'my-rec' "
       "does not"},
      {"a folder, which names no record", "sub/ --wfdb",
       "sub/: WFDB record names hold only letters, digits and underscores; '' does not"},
      {"output folder missing", "good.txt --csv nowhere/out.csv",
       "cannot write nowhere/out.csv: No such file or directory"},
      {"a recording longer than one is not read", "long.dat --wfdb",
       "long.dat: holds 4608001 bytes; a recording holds 4608000 (32000 frames of 72 16-bit "
       "samples)"},
      {"a pipe, which would never end", "pipe.txt --csv out.csv", "pipe.txt: is not a plain file"},
      {"an input larger than memory, refused unread", "huge.txt --csv out.csv",
       "huge.txt: is larger than 64 MiB"},
      {"the header is the recording", "rec.hea --wfdb",
       "rec.hea is rec.hea itself; name another output"},
      {"the table is its source", "good.txt --csv good.txt",
       "good.txt is good.txt itself; name another output"},
      {"EDF+ over a hard link to the recording", "my-rec.dat --edf link.edf",
       "link.edf is my-rec.dat itself; name another output"},
      {"EDF+ over the result file", "my-rec.dat --edf good.txt --result good.txt",
       "good.txt is good.txt itself; name another output"},
      {"a symbolic link to the source", "good.txt --csv soft.csv",
       "soft.csv is good.txt itself; name another output"},
      {"MATLAB from a log", "log.txt --mat out.mat",
       "log.txt: --mat is for result files; this is a log"},
      {"a layout that is empty", "good.txt --mat out.mat --layout empty.csv",
       "empty.csv: the file is empty; it needs the header lead,x,y"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const Outcome outcome = run("export " + row.arguments);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err, prefix + row.message + "\n");
    EXPECT_EQ(files_in(folder), before);
  }
}

TEST_F(InterchangeVerbs, WrongCommandLinesAreUsageErrors) {
  for (const char* arguments :
       {"import a.edf", "import a.edf b.edf -o a.dat", "import a.edf -o a.dat --start -1",
        "import a.edf -o a.dat --units-per-uv 0", "export a.txt", "export a.dat --csv a --wfdb",
        "export a.dat --wfdb --long", "export a.txt --csv a.csv --result b.txt",
        "export a.dat --wfdb --units-per-uv 0", "export a.dat --edf a.edf --units-per-uv 0.001",
        "export a.txt --csv a.csv --layout b.csv", "export a.txt --csv a.csv --mat a.mat"}) {
    const Outcome outcome = run(arguments);
    EXPECT_EQ(outcome.status, 1) << arguments;
    EXPECT_NE(outcome.err.find("Try 'beat_analyser "), std::string::npos) << arguments;
  }
  const Outcome help = run("--help");
  EXPECT_NE(help.out.find("  import "), std::string::npos);
  EXPECT_NE(help.out.find("  export "), std::string::npos);
  const Outcome export_help = run("export --help");
  EXPECT_EQ(export_help.status, 0);
  EXPECT_NE(export_help.out.find("taken as a log when"), std::string::npos);
  EXPECT_EQ(run("import --help").status, 0);
}

}  // namespace
}  // namespace ba
