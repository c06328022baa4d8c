#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/manifest.h"

namespace ba {
namespace {

using namespace std::string_literals;

const std::filesystem::path manifest_file = "/study/manifest.csv";

// Every fault refuses the whole manifest and names the line it is on.
TEST(BatchManifest, RefusesAFaultyManifestNamingItsLine) {
  struct Row {
    const char* label;
    std::string text;
    int line;
    const char* reason;
  };
  const Row rows[] = {
      {"empty file", "", 0, "no header line"},
      {"header only", "recording,record\n", 0, "no rows to run"},
      {"unknown column", "recording,record,colour\na.dat,r.json,red\n", 1,
       "unknown column 'colour'"},
      {"column twice", "recording,record,Record\n", 1, "column 'Record' twice"},
      {"escape in a name shown, not acted on", "recording,record,\x1b[2J\n", 1,
       "unknown column '\\033[2J'"},
      {"no recording column", "record\nr.json\n", 1, "no column 'recording'"},
      {"neither record nor points", "recording,leads\na.dat,1 2 3\n", 1,
       "neither a column 'record' nor the columns reference_ms,pq_ms,q_ms,t_end_ms"},
      {"points incomplete", "recording,reference_ms,pq_ms,t_end_ms\n", 1,
       "no column 'q_ms' beside the other fiducial points"},
      {"missing recording", "recording,record\n\n ,r.json\n", 3, "missing field 'recording'"},
      {"missing point without record",
       "recording,record,reference_ms,pq_ms,q_ms,t_end_ms\na.dat,,1000,-40,,300\n", 2,
       "missing field 'q_ms'"},
      {"field too few", "recording,reference_ms,pq_ms,q_ms,t_end_ms\na.dat,1000,-40,-20\n", 2,
       "4 fields where the header has 5"},
      {"bad point", "recording,reference_ms,pq_ms,q_ms,t_end_ms\na.dat,1000,-40,-2O,300\n", 2,
       "bad time '-2O' in 'q_ms': a whole number of ms"},
      // Times analyse would refuse only once the row runs.
      {"time with a fraction",
       "recording,reference_ms,pq_ms,q_ms,t_end_ms\na.dat,1387.5,-71,-46,379\n", 2,
       "bad time '1387.5' in 'reference_ms': a whole number of ms"},
      {"time with an exponent",
       "recording,reference_ms,pq_ms,q_ms,t_end_ms\na.dat,1.387e3,-71,-46,379\n", 2,
       "bad time '1.387e3' in 'reference_ms': a whole number of ms"},
      {"time beyond any whole number",
       "recording,reference_ms,pq_ms,q_ms,t_end_ms\na.dat,1387,-71,-46,1e300\n", 2,
       "bad time '1e300' in 't_end_ms': a whole number of ms"},
      {"points reversed", "recording,reference_ms,pq_ms,q_ms,t_end_ms\na.dat,1000,-40,-20,-30\n", 2,
       "T end -30 ms is not after Q start -20 ms: the points go PQ < Q start < T end"},
      {"PQ after Q start", "recording,reference_ms,pq_ms,q_ms,t_end_ms\na.dat,1000,-10,-20,300\n",
       2, "Q start -20 ms is not after PQ -10 ms: the points go PQ < Q start < T end"},
      {"threshold typed as a percentage", "recording,record,threshold\na.dat,r.json,95\n", 2,
       "threshold 95 is outside 0.0 to 1.0, the range the start-up dialogue asks for"},
      {"negative ratio", "recording,record,ratio\na.dat,r.json,-3\n", 2,
       "ratio -3 is outside 0.0 to 1.0, the range the start-up dialogue asks for"},
      {"threshold beyond a float", "recording,record,threshold\na.dat,r.json,1e300\n", 2,
       "bad number '1e300' in 'threshold'"},
      // A NUL would end the name early: a.dat and a.dat<NUL>x would be one file.
      {"NUL in a recording", "recording,record\na.dat\0x,r.json\n"s, 2,
       "a control character in 'recording' 'a.dat\\000x'"},
      {"escape in a record", "recording,record\na.dat,\x1b]0;x\x07r.json\n", 2,
       "a control character in 'record' '\\033]0;x\\ar.json'"},
      {"C1 control in a recording",
       "recording,record\na\xC2\x9B"
       "2J.dat,r.json\n",
       2, "a control character in 'recording' 'a\\302\\2332J.dat'"},
      {"bad threshold", "recording,record,threshold\na.dat,r.json,0.9x\n", 2,
       "bad number '0.9x' in 'threshold'"},
      {"bad ratio", "recording,record,ratio\na.dat,r.json,nan\n", 2, "bad number 'nan' in 'ratio'"},
      {"two leads", "recording,record,leads\na.dat,r.json,\"1,2\"\n", 2,
       "leads '1,2' are not three lead numbers"},
      {"lead not whole", "recording,record,leads\na.dat,r.json,1;2;3.5\n", 2,
       "leads '1;2;3.5' are not three lead numbers"},
      {"lead place empty", "recording,record,leads\na.dat,r.json,\"1,,2,3\"\n", 2,
       "leads '1,,2,3' are not three lead numbers"},
      {"bad print", "recording,record,print\na.dat,r.json,maybe\n", 2,
       "print 'maybe' is not 1 or 0"},
      {"auto with a point", "recording,auto,reference_ms,pq_ms,q_ms,t_end_ms\na.dat,1,,-40,,\n", 2,
       "auto 1 and 'pq_ms' in one row"},
      {"auto with a record", "recording,record,auto\na.dat,r.json,on\n", 2,
       "auto 1 and 'record' in one row"},
      {"bad auto", "recording,auto\na.dat,2\n", 2, "auto '2' is not 1 or 0"},
      {"auto 0 without points", "recording,auto\na.dat,0\n", 2, "missing field 'reference_ms'"},
      {"quote unclosed", "recording,record\n\"a.dat,r.json\n", 2,
       "a quoted field without its closing quote"},
      {"quote unclosed after a doubled quote", "recording,record\na.dat,\"r\"\"\n", 2,
       "a quoted field without its closing quote"},
      {"text after quote", "recording,record\n\"a\".dat,r.json\n", 2,
       "text after the closing quote of a field"},
      {"same files twice", "recording,record\na.dat,r.json\nb.dat,r.json\nsub/../a.dat,s.json\n", 4,
       "writes the same files as line 2 ('sub/../a.dat')"},
      {"same name without suffix", "recording,record\nx/a.dat,r.json\nx/a,s.json\n", 3,
       "writes the same files as line 2 ('x/a')"},
  };
  for (const Row& row : rows) {
    const auto parsed = parse_manifest(manifest_file, row.text);
    const auto* fault = std::get_if<LineFault>(&parsed);
    ASSERT_NE(fault, nullptr) << row.label;
    EXPECT_EQ(fault->line, row.line) << row.label;
    EXPECT_EQ(fault->reason, row.reason) << row.label;
  }
}

// A good row becomes the analyse command line a person would type for it.
TEST(BatchManifest, TurnsEachRowIntoTheAnalyseCommandLine) {
  struct Row {
    const char* label;
    const char* text;
    std::vector<std::string> arguments;  // of the last row
  };
  const Row rows[] = {
      {"points, defaults",
       "recording,reference_ms,pq_ms,q_ms,t_end_ms\r\np1.dat, 1200 ,-48,-22,310\r\n",
       {"analyse", "/study/p1.dat", "--reference=1200", "--pq=-48", "--q=-22", "--t-end=310"}},
      {"record beside a folder, print off",
       "\xEF\xBB\xBFRecording,record,print\nsub/p2.dat,rec/p2.json,No\n",
       {"analyse", "/study/sub/p2.dat", "--record=/study/rec/p2.json", "--no-print"}},
      {"record with a point and conditions overriding",
       "recording,record,reference_ms,pq_ms,q_ms,t_end_ms,leads,threshold,ratio,print\n"
       "/data/p3.dat,p3.json,,-30,,,\"13, 23 ,37\",0.9,0.4,1\n",
       {"analyse", "/data/p3.dat", "--record=/study/p3.json", "--pq=-30", "--leads=13,23,37",
        "--threshold=0.9", "--ratio=0.4"}},
      {"leads by semicolons, quoted comma in a name, blank lines skipped",
       "recording,record,leads\n\na.dat,a.json,\n\n\"we,ird.dat\",\"b\"\"q.json\",4;5;6\n\n",
       {"analyse", "/study/we,ird.dat", "--record=/study/b\"q.json", "--leads=4,5,6"}},
      {"auto beside rows with points, conditions kept",
       "recording,auto,reference_ms,pq_ms,q_ms,t_end_ms,leads,print\n"
       "a.dat,0,1200,-48,-22,310,,\nb.dat,1,,,,,1 2 3,0\n",
       {"analyse", "/study/b.dat", "--auto", "--leads=1,2,3", "--no-print"}},
  };
  for (const Row& row : rows) {
    const auto parsed = parse_manifest(manifest_file, row.text);
    const auto* manifest = std::get_if<Manifest>(&parsed);
    ASSERT_NE(manifest, nullptr) << row.label << ": " << std::get<LineFault>(parsed).reason;
    EXPECT_EQ(manifest->rows.back().analyse_arguments(), row.arguments) << row.label;
  }
}

// The files a row's analysis leaves: named from the recording without ".dat".
TEST(BatchManifest, NamesTheFilesARowWrites) {
  const auto parsed = parse_manifest(manifest_file, "recording,record\nsub/pat1.dat,r.json\n");
  const ManifestRow& row = std::get<Manifest>(parsed).rows.at(0);
  EXPECT_EQ(row.line, 2);
  EXPECT_EQ(row.recording_text, "sub/pat1.dat");
  EXPECT_EQ(row.record_written(), "/study/sub/pat1st.record.json");
  EXPECT_EQ(row.result_written(), "/study/sub/pat1st.txt");
}

}  // namespace
}  // namespace ba
