#include "results/lead_table.h"

#include <gtest/gtest.h>

#include <string>

namespace ba {
namespace {

// Two beats; lead n of the first has areas n, n - 1 and 1 and is timed at
// -10 and 250 ms, except lead 2 (no AT) and lead 3 (no RT).
std::vector<BeatLeads> two_beats() {
  std::vector<BeatLeads> beats(2);
  beats[0].r_ms = 1387;
  beats[1].r_ms = 2241;
  for (long lead = 1; lead <= lead_point_count; ++lead) {
    const auto n = static_cast<std::int32_t>(lead);
    beats[0].qrst_area(lead) = n;
    beats[0].qrs_area(lead) = n - 1;
    beats[0].stt_area(lead) = 1;
    if (lead != 2) beats[0].at_ms(lead) = -10;
    if (lead != 3) beats[0].rt_ms(lead) = 250;
    beats[1].qrst_area(lead) = -n;
  }
  return beats;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

TEST(LeadTable, WrittenRowsAndReadBack) {
  const auto beats = two_beats();
  const std::string text = lead_table_text(beats);
  EXPECT_EQ(text.substr(0, text.find('\n', text.find('\n') + 1) + 1),
            "beat,r_ms,lead,qrst_area,qrs_area,stt_area,at_ms,rt_ms,ari_ms\n"
            "1,1387,1,1,0,1,-10,250,260\n");
  EXPECT_NE(text.find("\n1,1387,2,2,1,1,,250,\n1,1387,3,3,2,1,-10,,\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("\n2,2241,64,-64,0,0,,,\n"));
  const auto parsed = parse_lead_table(text);
  ASSERT_EQ(parsed.index(), 0u) << std::get<LineFault>(parsed).reason;
  EXPECT_EQ(lead_table_text(std::get<0>(parsed)), text);
}

TEST(LeadTable, FaultsNamedAtTheirLine) {
  const std::string text = lead_table_text(two_beats());
  const struct {
    const char* label;
    std::string text;
    int line;
    std::string reason;
  } rows[] = {
      {"another header", "beat,r,lead\n", 1, "the header is not"},
      {"a lead missing", replaced(text, "1,1387,3,3,2,1,-10,,\n", ""), 4,
       "lead 3 of beat 1 was due"},
      {"the last beat cut short", replaced(text, "2,2241,64,-64,0,0,,,\n", ""), 0,
       "the last beat lacks leads"},
      {"ARI not RT - AT", replaced(text, ",250,260\n", ",250,261\n"), 2,
       "ari_ms is not rt_ms - at_ms"},
      {"a time that is not a number", text.substr(0, text.find('\n') + 1) + "1,1387,1,1,0,1,x,,\n",
       2, "at_ms \"x\" is not a whole number"},
      {"a row too short", text.substr(0, text.find('\n') + 1) + "1,1387,1\n", 2,
       "3 fields, a row has 9"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const auto parsed = parse_lead_table(row.text);
    ASSERT_EQ(parsed.index(), 1u);
    EXPECT_EQ(std::get<LineFault>(parsed).line, row.line);
    EXPECT_NE(std::get<LineFault>(parsed).reason.find(row.reason), std::string::npos)
        << std::get<LineFault>(parsed).reason;
  }
}

TEST(LeadTable, BelongsOnlyToItsResultFile) {
  const auto table = two_beats();
  std::vector<ResultBeat> result(2);
  result[0].r_ms = 1387;
  result[1].r_ms = 2241;
  for (long lead = 1; lead <= lead_point_count; ++lead) {
    result[0].areas(lead) = table[0].qrst_area(lead);
    result[1].areas(lead) = table[1].qrst_area(lead);
  }
  EXPECT_EQ(lead_table_mismatch(table, result), std::nullopt);
  auto other_r = result;
  other_r[1].r_ms = 2242;
  auto other_area = result;
  other_area[0].areas(7) = 8;
  const struct {
    const char* label;
    std::vector<ResultBeat> result;
    std::string reason;
  } rows[] = {
      {"fewer beats", {result[0]}, "2 beats, the result file has 1"},
      {"another R", other_r, "beat 2 has R at 2241 ms, the result file at 2242 ms"},
      {"another area", other_area, "beat 1 lead 7 has QRST area 7, the result file 8"},
  };
  for (const auto& row : rows) EXPECT_EQ(lead_table_mismatch(table, row.result), row.reason);
  EXPECT_EQ(lead_table_path("d:\\data\\map\\demost.txt   "), "d:\\data\\map\\demost.leads.csv");
}

}  // namespace
}  // namespace ba
