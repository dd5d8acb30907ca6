// The report a user copies from the status list, and the numbers in its lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "status/status_report.h"
#include "text/number_text.h"

namespace {

TEST(StatusReport, OneLineEachWithItsKind) {
  const KindWords dutch = {"Fout", "Ok", "Waarschuwing"};
  struct Case { std::vector<ReportLine> lines; std::string report; };
  const Case cases[] = {
      {{}, ""},
      {{{MessageKind::Ok, "Schrijven naar: E:\\"}, {MessageKind::Warning, "WAARSCHUWING: E:\\"},
        {MessageKind::Error, "Doel ontbreekt."}},
       "Ok: Schrijven naar: E:\\\r\nWaarschuwing: WAARSCHUWING: E:\\\r\nFout: Doel ontbreekt.\r\n"},
      // A line break inside a text would split one status line in two.
      {{{MessageKind::Ok, "a\r\nb\nc"}, {MessageKind::Error, ""}, {MessageKind::Error, nullptr}},
       "Ok: a  b c\r\nFout: \r\nFout: \r\n"},
  };
  for (const Case& c : cases) {
    char* report = BuildStatusReport(c.lines.data(), c.lines.size(), dutch);
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report, c.report);
    free(report);
  }
}

TEST(NumberText, GroupsOfThreeInEachLanguage) {
  struct Case { uint64_t value; uint16_t language; const char* text; };
  for (const Case& c : {Case{0, 0x09, "0"}, Case{999, 0x09, "999"}, Case{1000, 0x13, "1.000"},
                        Case{245760, 0x09, "245,760"}, Case{1228800, 0x09, "1,228,800"},
                        Case{1228800, 0x13, "1.228.800"},
                        Case{UINT64_MAX, 0x09, "18,446,744,073,709,551,615"}}) {
    char text[kGroupedNumberSize];
    FormatGroupedNumber(c.value, c.language, text);
    EXPECT_STREQ(text, c.text);
  }
}

}  // namespace
