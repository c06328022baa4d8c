#include <edflib.h>
#include <gtest/gtest.h>

#include <string>

#include "interchange/csv_tables.h"
#include "interchange/log_reader.h"
#include "interchange/mat_file.h"
#include "interchange/recording_export.h"
#include "results/log_format.h"
#include "support/fake_platform.h"
#include "support/temp_folder.h"

namespace ba {
namespace {

// Two beats as command d writes them: R at 435 and 31,999, the second with
// the extreme 32-bit areas in leads 1 and 64.
constexpr const char* known_result =
    "           2\r\n"
    "         435\r\n"
    "         -99         -96         -91         -84         -75         -64\r\n"
    "         -51         -36         -19           0          21          44\r\n"
    "          69          96         125         156         189         224\r\n"
    "         261         300         341         384         429         476\r\n"
    "         525         576         629         684         741         800\r\n"
    "         861         924         989        1056        1125        1196\r\n"
    "        1269        1344        1421        1500        1581        1664\r\n"
    "        1749        1836        1925        2016        2109        2204\r\n"
    "        2301        2400        2501        2604        2709        2816\r\n"
    "        2925        3036        3149        3264        3381        3500\r\n"
    "        3621        3744        3869        3996\r\n"
    "       31999\r\n"
    " -2147483648         -14         -21         -28         -35         -42\r\n"
    "         -49         -56         -63         -70         -77         -84\r\n"
    "         -91         -98        -105        -112        -119        -126\r\n"
    "        -133        -140        -147        -154        -161        -168\r\n"
    "        -175        -182        -189        -196        -203        -210\r\n"
    "        -217        -224        -231        -238        -245        -252\r\n"
    "        -259        -266        -273        -280        -287        -294\r\n"
    "        -301        -308        -315        -322        -329        -336\r\n"
    "        -343        -350        -357        -364        -371        -378\r\n"
    "        -385        -392        -399        -406        -413        -420\r\n"
    "        -427        -434        -441  2147483647\r\n";

std::vector<ResultBeat> known_beats() {
  auto parsed = parse_result_file(known_result);
  EXPECT_EQ(parsed.index(), 0u);
  return parsed.index() == 0 ? std::get<0>(parsed) : std::vector<ResultBeat>{};
}

TEST(ResultCsv, WideTableOneRowPerBeat) {
  EXPECT_EQ(
      result_csv_wide(known_beats()),
      "beat,r_ms,lead_1,lead_2,lead_3,lead_4,lead_5,lead_6,lead_7,lead_8,lead_9,lead_10,lead_11,"
      "lead_12,lead_13,lead_14,lead_15,lead_16,lead_17,lead_18,lead_19,lead_20,lead_21,lead_22,"
      "lead_23,lead_24,lead_25,lead_26,lead_27,lead_28,lead_29,lead_30,lead_31,lead_32,lead_33,"
      "lead_34,lead_35,lead_36,lead_37,lead_38,lead_39,lead_40,lead_41,lead_42,lead_43,lead_44,"
      "lead_45,lead_46,lead_47,lead_48,lead_49,lead_50,lead_51,lead_52,lead_53,lead_54,lead_55,"
      "lead_56,lead_57,lead_58,lead_59,lead_60,lead_61,lead_62,lead_63,lead_64\n"
      "1,435,-99,-96,-91,-84,-75,-64,-51,-36,-19,0,21,44,69,96,125,156,189,224,261,300,341,384,429,"
      "476,525,576,629,684,741,800,861,924,989,1056,1125,1196,1269,1344,1421,1500,1581,1664,1749,"
      "1836,1925,2016,2109,2204,2301,2400,2501,2604,2709,2816,2925,3036,3149,3264,3381,3500,3621,"
      "3744,3869,3996\n"
      "2,31999,-2147483648,-14,-21,-28,-35,-42,-49,-56,-63,-70,-77,-84,-91,-98,-105,-112,-119,-126,"
      "-133,-140,-147,-154,-161,-168,-175,-182,-189,-196,-203,-210,-217,-224,-231,-238,-245,-252,-"
      "259,-266,-273,-280,-287,-294,-301,-308,-315,-322,-329,-336,-343,-350,-357,-364,-371,-378,-"
      "385,-392,-399,-406,-413,-420,-427,-434,-441,2147483647\n");
}

TEST(ResultCsv, LongTableOneRowPerBeatAndLead) {
  EXPECT_EQ(result_csv_long(known_beats()),
            "beat,r_ms,lead,area\n1,435,1,-99\n1,435,2,-96\n1,435,3,-91\n1,435,4,-84\n1,435,5,-75\n"
            "1,435,6,-64\n1,435,7,-51\n1,435,8,-36\n1,435,9,-19\n1,435,10,0\n1,435,11,21\n"
            "1,435,12,44\n1,435,13,69\n1,435,14,96\n1,435,15,125\n1,435,16,156\n1,435,17,189\n"
            "1,435,18,224\n1,435,19,261\n1,435,20,300\n1,435,21,341\n1,435,22,384\n1,435,23,429\n"
            "1,435,24,476\n1,435,25,525\n1,435,26,576\n1,435,27,629\n1,435,28,684\n1,435,29,741\n"
            "1,435,30,800\n1,435,31,861\n1,435,32,924\n1,435,33,989\n1,435,34,1056\n1,435,35,1125\n"
            "1,435,36,1196\n1,435,37,1269\n1,435,38,1344\n1,435,39,1421\n1,435,40,1500\n"
            "1,435,41,1581\n1,435,42,1664\n1,435,43,1749\n1,435,44,1836\n1,435,45,1925\n"
            "1,435,46,2016\n1,435,47,2109\n1,435,48,2204\n1,435,49,2301\n1,435,50,2400\n"
            "1,435,51,2501\n1,435,52,2604\n1,435,53,2709\n1,435,54,2816\n1,435,55,2925\n"
            "1,435,56,3036\n1,435,57,3149\n1,435,58,3264\n1,435,59,3381\n1,435,60,3500\n"
            "1,435,61,3621\n1,435,62,3744\n1,435,63,3869\n1,435,64,3996\n2,31999,1,-2147483648\n"
            "2,31999,2,-14\n2,31999,3,-21\n2,31999,4,-28\n2,31999,5,-35\n2,31999,6,-42\n"
            "2,31999,7,-49\n2,31999,8,-56\n2,31999,9,-63\n2,31999,10,-70\n2,31999,11,-77\n"
            "2,31999,12,-84\n2,31999,13,-91\n2,31999,14,-98\n2,31999,15,-105\n2,31999,16,-112\n"
            "2,31999,17,-119\n2,31999,18,-126\n2,31999,19,-133\n2,31999,20,-140\n2,31999,21,-147\n"
            "2,31999,22,-154\n2,31999,23,-161\n2,31999,24,-168\n2,31999,25,-175\n2,31999,26,-182\n"
            "2,31999,27,-189\n2,31999,28,-196\n2,31999,29,-203\n2,31999,30,-210\n2,31999,31,-217\n"
            "2,31999,32,-224\n2,31999,33,-231\n2,31999,34,-238\n2,31999,35,-245\n2,31999,36,-252\n"
            "2,31999,37,-259\n2,31999,38,-266\n2,31999,39,-273\n2,31999,40,-280\n2,31999,41,-287\n"
            "2,31999,42,-294\n2,31999,43,-301\n2,31999,44,-308\n2,31999,45,-315\n2,31999,46,-322\n"
            "2,31999,47,-329\n2,31999,48,-336\n2,31999,49,-343\n2,31999,50,-350\n2,31999,51,-357\n"
            "2,31999,52,-364\n2,31999,53,-371\n2,31999,54,-378\n2,31999,55,-385\n2,31999,56,-392\n"
            "2,31999,57,-399\n2,31999,58,-406\n2,31999,59,-413\n2,31999,60,-420\n2,31999,61,-427\n"
            "2,31999,62,-434\n2,31999,63,-441\n2,31999,64,2147483647\n");
}

TEST(ResultCsv, NoBeatsGiveTheHeaderAlone) {
  EXPECT_EQ(result_csv_long({}), "beat,r_ms,lead,area\n");
  EXPECT_EQ(result_csv_wide({}).find('\n'), result_csv_wide({}).size() - 1);
}

// Two c runs and a v run as the program logs them: a selection, four
// candidates of which one is rejected and one left out (its T end outside
// the recording), the print records of the accepted ones; a new selection;
// a v run of two candidates.
constexpr const char* known_log =
    " selected time        1187\r\n"
    " k=           1 r=  0.9998485     ;  time_dif           0  30577\r\n"
    " k=           2 r=  0.0000000E+00 ;  time_dif           0      0\r\n"
    " k=           3 r=  0.9998868     ;  time_dif          -1  26226\r\n"
    " k=           4 r=  0.9701000     ;  time_dif          10    150\r\n"
    " left out time         150\r\n"
    " print on time  26226           1\r\n"
    " off_x     50 off_y     80\r\n"
    " print on time  30577           2\r\n"
    " off_x     50 off_y    190\r\n"
    " selected time        2300\r\n"
    " k=           1 r=  0.9400000     ;  time_dif           3      0\r\n"
    " k=           2 r=  0.9999990     ;  time_dif          -4   2496\r\n";

TEST(LogAudit, OneRowPerCandidateWithItsReferenceAndVerdict) {
  const LogAudit audit = read_log_audit(known_log);
  ASSERT_EQ(audit.index(), 0u) << std::get<LineFault>(audit).reason;
  EXPECT_EQ(audit_csv(std::get<0>(audit)),
            "run,reference_ms,k,best_r,shift,aligned_ms,accepted\n"
            "1,1387,1,0.9998485,0,30577,yes\n"
            "1,1387,2,0.0000000E+00,0,0,no\n"
            "1,1387,3,0.9998868,-1,26226,yes\n"
            "1,1387,4,0.9701000,10,150,left_out\n"
            "2,2500,1,0.9400000,3,0,no\n"
            "2,2500,2,0.9999990,-4,2496,yes\n");
}

// The writers and the reader share the log's words: what the commands write
// is what the audit reads back.
TEST(LogAudit, TheCommandsRecordsAreWhatTheReaderTakes) {
  test::TestBench bench;
  bench.io.open_log("d:\\data\\map\\knownstlog.txt");
  log_format::write_selected_time(bench.io, 1187);
  log_format::write_candidate(bench.io, 1, 0.9998485f, 0, 30577);
  log_format::write_candidate(bench.io, 2, 0.0f, 0, 0);
  log_format::write_candidate(bench.io, 3, 0.9998868f, -1, 26226);
  log_format::write_candidate(bench.io, 4, 0.9701f, 10, 150);
  log_format::write_left_out(bench.io, 150);
  log_format::write_print_on(bench.io, 26226, 1, 50, 80);
  log_format::write_print_on(bench.io, 30577, 2, 50, 190);
  log_format::write_selected_time(bench.io, 2300);
  log_format::write_candidate(bench.io, 1, 0.94f, 3, 0);
  log_format::write_candidate(bench.io, 2, 0.999999f, -4, 2496);
  bench.io.close_log();
  EXPECT_EQ(bench.read("knownstlog.txt"), known_log);
}

TEST(LogAudit, CandidatesBeforeAnySelectionHaveNoReference) {
  const LogAudit audit = read_log_audit(" k=           1 r=  0.5000000     ;  time_dif  2  0\n");
  ASSERT_EQ(audit.index(), 0u);
  EXPECT_EQ(audit_csv(std::get<0>(audit)),
            "run,reference_ms,k,best_r,shift,aligned_ms,accepted\n1,,1,0.5000000,2,0,no\n");
  EXPECT_EQ(audit_csv(std::get<0>(read_log_audit(""))),
            "run,reference_ms,k,best_r,shift,aligned_ms,accepted\n");
}

TEST(LogAudit, FaultsNameTheLineAndWhatIsWrong) {
  const std::string k_record = "a k= record needs k, r=, ;  time_dif, the shift and the position";
  struct Row {
    const char* label;
    const char* text;
    int line;
    std::string reason;
  } rows[] = {
      {"a result file's count line", "          32\r\n", 1, "'32' is not a record of the log"},
      {"a line of the wrong kind after good ones",
       " selected time 1\n\n k=  1 r= 0.9 ; time_dif 0 5\nhello\n", 4,
       "'hello' is not a record of the log"},
      {"k= without a coefficient", " k=  1 r= ; time_dif 0 5\n", 1, k_record},
      {"k= with a word for a coefficient", " k=  1 r= high ; time_dif 0 5\n", 1, k_record},
      {"k= missing its position", " k=  1 r= 0.9 ; time_dif 0\n", 1, k_record},
      {"k= with the parts out of order", " k=  1 ; time_dif r= 0.9 0 5\n", 1, k_record},
      {"a candidate skipped", " k= 1 r= 0.9 ; time_dif 0 5\n k= 3 r= 0.9 ; time_dif 0 9\n", 2,
       "candidate k=3 follows k=1 (a record is missing)"},
      {"a run without its start", " k= 2 r= 0.9 ; time_dif 0 5\n", 1,
       "candidate k=2 follows no k=1 (a record is missing)"},
      {"left out of no accepted beat", " k= 1 r= 0.9 ; time_dif 0 5\n left out time 6\n", 2,
       "left out time 6 is no accepted beat of the run before it"},
      {"a control character shown safely", "\x01\x02selected\n", 1,
       "'\\001\\002selected' is not a record of the log"},
      {"a selected time whose R time overflows", "\n selected time 2147483448\n", 2,
       "selected time 2147483448 lies beyond any recording"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const LogAudit audit = read_log_audit(row.text);
    ASSERT_EQ(audit.index(), 1u);
    EXPECT_EQ(std::get<LineFault>(audit).line, row.line);
    EXPECT_EQ(std::get<LineFault>(audit).reason, row.reason);
  }
  // The last selected time whose R time (200 later) is still a whole number.
  const LogAudit edge = read_log_audit(" selected time 2147483447\n k= 1 r= 1 ; time_dif 0 0\n");
  ASSERT_EQ(edge.index(), 0u);
  EXPECT_EQ(std::get<0>(edge).front().reference_ms, 2147483647);
}

TEST(LogAudit, LogsAreToldFromResultFilesByTheirFirstRecord) {
  struct Row {
    const char* label;
    const char* text;
    bool log;
  } rows[] = {
      {"a result file", known_result, false},
      {"a log", known_log, true},
      {"an empty log", "", true},
      {"a log whose first lines are blank", "\r\n  \r\n k= 1 r= 1 ; time_dif 0 1\r\n", true},
      {"a log of a c run with no selection before it", " print on time 1 1\n", true},
      {"a log that starts with a left-out beat", " left out time 5\n", true},
      {"something else", "hello\n", false},
  };
  for (const Row& row : rows) EXPECT_EQ(looks_like_log(row.text), row.log) << row.label;
}

// A recording whose channel c holds c - 40 at every position but the first,
// where it holds 1000 * c: the checksum of channel c is
// 1000c + 31,999 (c - 40) kept to 16 bits.
std::vector<unsigned char> known_recording() {
  std::vector<unsigned char> bytes(recording_bytes);
  for (std::size_t t = 0; t < recorded_samples; ++t)
    for (int c = 1; c <= channel_count; ++c) {
      const auto value = static_cast<std::uint16_t>(t == 0 ? 1000 * c : c - 40);
      bytes[t * frame_bytes + 2 * static_cast<std::size_t>(c - 1)] =
          static_cast<unsigned char>(value >> 8);
      bytes[t * frame_bytes + 2 * static_cast<std::size_t>(c - 1) + 1] =
          static_cast<unsigned char>(value & 0xFF);
    }
  return bytes;
}

TEST(WfdbHeader, RecordLineAndOneLinePerChannel) {
  const std::string header = wfdb_header("demo", "demo.dat", known_recording(), 2.5);
  std::vector<std::string> lines;
  for (std::size_t begin = 0; begin < header.size();) {
    const std::size_t end = header.find('\n', begin);
    lines.push_back(header.substr(begin, end - begin));
    begin = end + 1;
  }
  ASSERT_EQ(lines.size(), 73u);
  EXPECT_EQ(lines[0], "demo 72 1000 32000");
  // 1000 - 31,999 x 39 = -1,246,961 = 65,536 x -20 + 63,759, i.e. -1,777.
  EXPECT_EQ(lines[1], "demo.dat 61 2.5/uV 16 0 1000 -1777 0 ch1");
  // 9000 - 31,999 x 31 = -982,969 = 65,536 x -15 + 71 (c = 9: lead 1).
  EXPECT_EQ(lines[9], "demo.dat 61 2.5/uV 16 0 9000 71 0 lead1");
  // 72,000 is 6,464 in 16 bits; 6,464 + 31,999 x 32 = 1,030,432
  // = 65,536 x 15 + 47,392, i.e. -18,144.
  EXPECT_EQ(lines[72], "demo.dat 61 2.5/uV 16 0 6464 -18144 0 lead64");
}

TEST(EdfAnnotations, RBeatsAtTheirTimesAndOutsideBeatsRefused) {
  std::vector<ResultBeat> beats(3);
  beats[0].r_ms = 1;
  beats[1].r_ms = 1387;
  beats[2].r_ms = 32000;
  auto made = beat_annotations(beats);
  ASSERT_EQ(made.index(), 0u);
  const auto& annotations = std::get<0>(made);
  ASSERT_EQ(annotations.size(), 3u);
  EXPECT_EQ(annotations[0].onset, 0);           // position 1 is the start
  EXPECT_EQ(annotations[1].onset, 13'860'000);  // 1.386 s in 100 ns units
  EXPECT_EQ(annotations[2].onset, 319'990'000);
  EXPECT_EQ(annotations[1].text, "R");
  for (std::int32_t r : {0, 32001}) {
    beats[1].r_ms = r;
    made = beat_annotations(beats);
    ASSERT_EQ(made.index(), 1u);
    EXPECT_EQ(std::get<1>(made), "beat 2 has its R time at " + std::to_string(r) +
                                     " ms, outside the recording (1 to 32000)");
  }
}

// Read back with EDFlib itself: 200 beats (the most a selection holds) fit in
// the annotation room of 32 records.
TEST(EdfAnnotations, AnEdfReaderSeesEveryBeat) {
  std::vector<EdfAnnotation> annotations;
  for (std::int64_t b = 0; b < 200; ++b) annotations.push_back({(150 * b + 7) * ticks_per_ms, "R"});
  test::TempFolder folder("edf_annotations");
  HostFileOps files;
  ASSERT_EQ(write_edf_plus(files, folder / "a.edf", recording_signals(known_recording(), 1.0),
                           annotations),
            std::nullopt);
  auto header = std::make_unique<edf_hdr_struct>();
  ASSERT_EQ(
      edfopen_file_readonly((folder / "a.edf").c_str(), header.get(), EDFLIB_READ_ALL_ANNOTATIONS),
      0);
  EXPECT_EQ(header->edfsignals, 72);
  EXPECT_EQ(header->filetype, EDFLIB_FILETYPE_EDFPLUS);
  EXPECT_EQ(header->datarecords_in_file, 32);
  // A recording keeps no time of day: EDF's stand-in, 1 January 1985 at 0:00:00.
  EXPECT_EQ(std::vector<int>({header->startdate_year, header->startdate_month,
                              header->startdate_day, header->starttime_hour,
                              header->starttime_minute, header->starttime_second}),
            std::vector<int>({1985, 1, 1, 0, 0, 0}));
  EXPECT_STREQ(header->signalparam[71].label, "lead64          ");
  EXPECT_STREQ(header->signalparam[0].physdimension, "uV      ");
  ASSERT_EQ(header->annotations_in_file, 200);
  edf_annotation_struct annotation{};
  ASSERT_EQ(edf_get_annotation(header->handle, 199, &annotation), 0);
  EXPECT_EQ(annotation.onset, (150 * 199 + 7) * ticks_per_ms);
  EXPECT_STREQ(annotation.annotation, "R");
  edfclose_file(header->handle);
}

}  // namespace
}  // namespace ba
