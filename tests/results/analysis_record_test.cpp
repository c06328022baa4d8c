// The analysis record's JSON: a record written by hand is read as it says,
// a written record reads back the same, and every kind of unusable record
// is refused with its reason.

#include "results/analysis_record.h"

#include <gtest/gtest.h>

#include <string>

namespace ba {
namespace {

const std::string digest_a(64, 'a');
const std::string digest_b = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

// A record as a person reading the format would write it.
std::string hand_written(const std::string& replace_from = "", const std::string& replace_to = "") {
  std::string text = R"({
  "format": "beat-analyser-record",
  "version": 1,
  "program_version": "1.0.0",
  "recording": {"file": "demo.dat", "size": 4608000, "sha256": ")" +
                     digest_a + R"("},
  "conditions": {"leads": [13, 23, 37], "correlation_threshold": 0.9,
                 "amplitude_ratio": 0.45, "print": false},
  "measured_by": "v",
  "reference_beat": {"r_ms": 1387},
  "fiducial_points": {"pq": {"index": 129, "ms_from_r": -71},
                      "q_start": {"index": 154, "ms_from_r": -46},
                      "t_end": {"index": 579, "ms_from_r": 379}},
  "accepted_r_ms": [435, 1387, 2265],
  "left_out": [{"r_ms": 5500, "reason": "correlation below the threshold"}],
  "result_file": {"file": "demost.txt", "sha256": ")" +
                     digest_b + R"("},
  "written_utc": "2026-12-09T06:49:20Z"
})";
  if (!replace_from.empty()) {
    const std::size_t at = text.find(replace_from);
    EXPECT_NE(at, std::string::npos) << replace_from;
    if (at != std::string::npos) text.replace(at, replace_from.size(), replace_to);
  }
  return text;
}

TEST(AnalysisRecord, HandWrittenRecordIsReadAsItSays) {
  const auto read = read_record(hand_written());
  ASSERT_EQ(read.index(), 0u) << std::get<1>(read);
  const AnalysisRecord& r = std::get<0>(read);
  EXPECT_EQ(r.recording_file, "demo.dat");
  EXPECT_EQ(r.recording_size, 4608000u);
  EXPECT_EQ(r.recording_sha256, digest_a);
  EXPECT_EQ(r.leads, (std::array<std::int32_t, 3>{13, 23, 37}));
  EXPECT_EQ(r.corr_threshold, 0.9f);
  EXPECT_EQ(r.r_ratio, 0.45f);
  EXPECT_FALSE(r.print);
  EXPECT_EQ(r.command, 'v');
  EXPECT_EQ(r.reference_r, 1387);
  EXPECT_EQ(r.pq_point, 129);
  EXPECT_EQ(r.q_start, 154);
  EXPECT_EQ(r.t_end, 579);
  EXPECT_EQ(r.j_point, 0) << "a record made before J was kept has none";
  EXPECT_EQ(r.accepted_r, (std::vector<std::int32_t>{435, 1387, 2265}));
  ASSERT_EQ(r.left_out.size(), 1u);
  EXPECT_EQ(r.left_out[0].r_ms, 5500);
  EXPECT_EQ(r.result_file, "demost.txt");
  EXPECT_EQ(r.result_sha256, digest_b);
  EXPECT_EQ(r.written_utc, "2026-12-09T06:49:20Z");
}

TEST(AnalysisRecord, WrittenRecordReadsBackTheSame) {
  AnalysisRecord r;
  r.program_version = "1.0.0";
  r.recording_file = "pat1.dat";
  r.recording_size = 4608000;
  r.recording_sha256 = digest_a;
  r.leads = {1, -7, 64};
  r.corr_threshold = 0.95f;  // no double is this float: kept to its last bit
  r.r_ratio = 0.104109176f;  // the nearest float to 0.10410918 is another: nine digits
  r.print = true;
  r.command = 'c';
  r.reference_r = 2999;
  r.pq_point = 1;
  r.q_start = 1000;
  r.t_end = 200;
  r.j_point = 244;
  r.j_given = true;
  r.accepted_r = {300, 31900};
  r.left_out = {{1200, std::string(left_out_by_points)}, {4000, "x"}};
  r.result_file = "pat1st.txt";
  r.result_sha256 = digest_b;
  r.written_utc = "2026-01-02T03:04:05Z";
  const std::string text = record_text(r);
  EXPECT_NE(text.find("\"correlation_threshold\": 0.95,"), std::string::npos) << text;
  EXPECT_NE(text.find("\"amplitude_ratio\": 0.104109176,"), std::string::npos) << text;
  EXPECT_NE(text.find("\"ms_from_r\": -199"), std::string::npos) << text;
  EXPECT_NE(text.find("\"j\": {\n      \"index\": 244,\n      \"ms_from_r\": 44,\n      "
                      "\"given\": true\n    }"),
            std::string::npos)
      << text;
  const auto read = read_record(text);
  ASSERT_EQ(read.index(), 0u) << std::get<1>(read);
  const AnalysisRecord& back = std::get<0>(read);
  EXPECT_EQ(record_text(back), text);
  EXPECT_EQ(back.corr_threshold, r.corr_threshold);
  EXPECT_EQ(back.r_ratio, r.r_ratio);
  EXPECT_EQ(back.left_out[0].reason, left_out_by_points);
  EXPECT_EQ(back.j_point, 244);
  EXPECT_TRUE(back.j_given);

  // The program's proposal, when it chose, is kept and read back.
  r.proposal = RecordProposal{"mean beat", 1,    true,       {"noise 85 uV RMS in the PR segment"},
                              1.0f,        0.5f, 0.36363637f};
  const std::string proposed = record_text(r);
  EXPECT_NE(proposed.find("\"t_end\": 0.36363637\n"), std::string::npos) << proposed;
  const auto with = read_record(proposed);
  ASSERT_EQ(with.index(), 0u) << std::get<1>(with);
  EXPECT_EQ(record_text(std::get<0>(with)), proposed);
  r.proposal.reset();

  r.command = 0;  // saved with nothing measured
  const auto none = read_record(record_text(r));
  ASSERT_EQ(none.index(), 0u);
  EXPECT_EQ(std::get<0>(none).command, 0);
}

TEST(AnalysisRecord, UnusableRecordsAreRefusedWithTheirReason) {
  const struct {
    const char* label;
    std::string text;
    const char* reason;  // a part of the reason
  } cases[] = {
      {"not JSON", "{\"format\": ", "not JSON"},
      {"a JSON list", "[1, 2]", "not a JSON object"},
      {"another format", hand_written("beat-analyser-record", "result-sheet"),
       "not an analysis record"},
      {"no format", hand_written("\"format\": \"beat-analyser-record\",", ""),
       "not an analysis record"},
      {"a version past every one", hand_written("\"version\": 1", "\"version\": 1000001"),
       "record.version is 1000001, not in 0..1000000"},
      {"a later version", hand_written("\"version\": 1", "\"version\": 2"),
       "version 2 is not one this program reads"},
      {"a missing field", hand_written("\"measured_by\": \"v\",", ""),
       "no field record.measured_by"},
      {"text for a number", hand_written("\"r_ms\": 1387", "\"r_ms\": \"1387\""),
       "reference_beat.r_ms is not a whole number"},
      {"a point whose ms do not match its index",
       hand_written("\"ms_from_r\": -46", "\"ms_from_r\": -45"), "fiducial_points.q_start"},
      {"a J point whose ms do not match its index",
       hand_written("\"ms_from_r\": 379}",
                    "\"ms_from_r\": 379},\n \"j\": {\"index\": 244, "
                    "\"ms_from_r\": 45, \"given\": false}"),
       "fiducial_points.j: ms_from_r 45 is not index 244 - 200"},
      {"a J point not said given or proposed",
       hand_written("\"ms_from_r\": 379}",
                    "\"ms_from_r\": 379},\n \"j\": {\"index\": 244, "
                    "\"ms_from_r\": 44}"),
       "no field fiducial_points.j.given"},
      {"a digest that is not one", hand_written(digest_a, "abc"),
       "recording.sha256 is not 64 lower-case hex digits"},
      {"a lead beyond the recording", hand_written("[13, 23, 37]", "[13, 23, 65]"),
       "conditions.leads[3] is 65, not in -7..64"},
      {"two leads", hand_written("[13, 23, 37]", "[13, 23]"), "not three leads"},
      {"an unknown command", hand_written("\"measured_by\": \"v\"", "\"measured_by\": \"s\""),
       "measured_by"},
      {"a recording named with its folder", hand_written("\"demo.dat\"", "\"../demo.dat\""),
       "recording.file is not a file name"},
      {"a reference after the recording's end", hand_written("\"r_ms\": 1387", "\"r_ms\": 32001"),
       "reference_beat.r_ms is 32001, not in 0..32000"},
      {"an accepted beat before the recording", hand_written("[435, 1387", "[0, 1387"),
       "an accepted R time is 0, not in 1..32000"},
      {"an index past every recording", hand_written("\"index\": 129", "\"index\": 1000001"),
       "fiducial_points.pq.index is 1000001, not in -1000000..1000000"},
      {"ms from R past every recording",
       hand_written("\"ms_from_r\": -71", "\"ms_from_r\": -1000001"),
       "fiducial_points.pq.ms_from_r is -1000001, not in -1000000..1000000"},
      {"a beat left out at 0 ms", hand_written("\"r_ms\": 5500", "\"r_ms\": 0"),
       "left_out.r_ms is 0, not in 1..32000"},
      {"print as a number", hand_written("\"print\": false", "\"print\": 0"),
       "conditions.print is not true or false"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const auto read = read_record(c.text);
    ASSERT_EQ(read.index(), 1u);
    EXPECT_NE(std::get<1>(read).find(c.reason), std::string::npos) << std::get<1>(read);
  }
}

}  // namespace
}  // namespace ba
