// Lead layouts: the default grid and the CSV a person writes for another
// electrode placement, with the line and reason of every fault.

#include "map/layout.h"

#include <gtest/gtest.h>

#include <string>

namespace ba {
namespace {

TEST(DefaultLayout, LeadsGoDownEachColumnThenToTheRight) {
  const LeadLayout layout = default_layout();
  struct Row {
    int lead;
    double x, y;
  };
  for (const Row& row : {Row{1, 0, 0}, Row{8, 0, 7}, Row{9, 1, 0}, Row{28, 3, 3}, Row{64, 7, 7}}) {
    SCOPED_TRACE(row.lead);
    EXPECT_EQ(layout.leads(row.lead).x, row.x);
    EXPECT_EQ(layout.leads(row.lead).y, row.y);
    EXPECT_TRUE(layout.leads(row.lead).usable());
  }
  EXPECT_TRUE(layout.regular_grid);
}

TEST(LayoutFile, ReadsColumnsInAnyOrder) {
  // y after the label: each value is taken from its own column.
  const LayoutText text = parse_layout(
      "lead,x,label,y,bad\r\n"
      "1, 0.5, V1, -2, 0\r\n"
      "2,1e1,V2,0,1\r\n"
      "\r\n"
      "3,0,,3,0\r\n"
      "4,4,x,4,0\r\n"
      "5,4,y,0,0\r\n");
  ASSERT_TRUE(std::holds_alternative<LeadLayout>(text)) << std::get<LayoutFault>(text).reason;
  const LeadLayout& layout = std::get<LeadLayout>(text);
  EXPECT_EQ(layout.leads(1).x, 0.5);
  EXPECT_EQ(layout.leads(1).y, -2);
  EXPECT_EQ(layout.leads(1).label, "V1");
  EXPECT_TRUE(layout.leads(1).usable());
  EXPECT_EQ(layout.leads(2).x, 10);
  EXPECT_TRUE(layout.leads(2).bad);
  EXPECT_FALSE(layout.leads(2).usable());
  EXPECT_FALSE(layout.leads(6).listed);
  EXPECT_FALSE(layout.regular_grid);
}

TEST(LayoutFile, AsASpreadsheetSavesIt) {
  // Byte order mark, capitals in the header, quoted fields.
  const LayoutText text = parse_layout(
      "\xEF\xBB\xBF\"Lead\",\"X\",\"Y\",Label\r\n"
      "1,0,0,\"V 1\"\r\n2,1,0,\"V2, \"\"left\"\"\"\r\n3,0,1,\r\n\"4\",\"1.5\",1,\r\n");
  ASSERT_TRUE(std::holds_alternative<LeadLayout>(text)) << std::get<LayoutFault>(text).reason;
  EXPECT_EQ(std::get<LeadLayout>(text).leads(1).label, "V 1");
  EXPECT_EQ(std::get<LeadLayout>(text).leads(2).label, "V2, \"left\"");
  EXPECT_EQ(std::get<LeadLayout>(text).leads(4).x, 1.5);
}

TEST(LayoutFile, EachFaultNamesItsLine) {
  struct Row {
    const char* label;
    const char* text;
    long line;
    const char* reason;
  };
  const std::string four = "1,0,0\n2,1,0\n3,0,1\n4,1,1\n";
  const Row rows[] = {
      {"empty file", "", 0, "the file is empty; it needs the header lead,x,y"},
      {"unknown column", "lead,x,y,colour\n", 1,
       "unknown column 'colour' (known: lead, x, y, label, bad)"},
      {"header without y", "lead,x,label\n", 1, "the header must name the columns lead, x and y"},
      {"column twice", "lead,x,y,bad,bad\n", 1, "column 'bad' appears twice"},
      {"lead twice", "lead,x,y\n1,0,0\n\n1,1,1\n", 4, "lead 1 is listed twice"},
      {"lead 0", "lead,x,y\n0,0,0\n", 2, "lead '0' is out of range 1 to 64"},
      {"lead 65", "lead,x,y\n65,0,0\n", 2, "lead '65' is out of range 1 to 64"},
      {"lead not whole", "lead,x,y\n1.5,0,0\n", 2, "the lead '1.5' is not a whole number"},
      {"x not a number", "lead,x,y\n1,a,0\n", 2, "x 'a' is not a number"},
      {"y empty", "lead,x,y\n1,0,\n", 2, "y '' is not a number"},
      {"y infinite", "lead,x,y\n1,0,inf\n", 2, "y 'inf' is not a number"},
      {"x too far", "lead,x,y\n1,-2e9,0\n", 2,
       "the place '-2e9', '0' lies beyond 1e9 from the origin"},
      {"field missing", "lead,x,y,label\n1,0,0\n", 2, "expected 4 fields, found 3"},
      {"bad not 0 or 1", "lead,x,y,bad\n1,0,0,yes\n", 2, "bad 'yes' is neither 0 nor 1"},
      {"three usable", "lead,x,y,bad\n1,0,0,0\n2,1,0,0\n3,0,1,0\n4,1,1,1\n", 5,
       "only 3 usable leads; a map needs at least 4"},
      {"on one line", "lead,x,y\n1,0,0\n2,1,1\n3,2,2\n4,3,3\n", 5,
       "the usable leads lie on one line; a map needs an area"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const LayoutText text = parse_layout(row.text);
    ASSERT_TRUE(std::holds_alternative<LayoutFault>(text));
    EXPECT_EQ(std::get<LayoutFault>(text).line, row.line);
    EXPECT_EQ(std::get<LayoutFault>(text).reason, row.reason);
  }
  EXPECT_TRUE(std::holds_alternative<LeadLayout>(parse_layout("lead,x,y\n" + four)));
}

}  // namespace
}  // namespace ba
