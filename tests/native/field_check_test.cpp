// The field check's decisions: which box it answers Yes, what fails it, what
// the drive holds at the end, which program it checks, and what its report
// keeps out.
#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "field_report.h"
#include "field_verdict.h"
#include "program_choice.h"
#include "report_privacy.h"

namespace {

TEST(FieldCheck, AnswersYesOnlyToTheCatalogueQuestionsItMay) {
  // The catalogue's own texts, as the check reads them from the program.
  const std::vector<KnownQuestion> known = {
      {QuestionKind::MediumWritten, "Is this the diskette that was in drive %s on %s? Put back overwrites what is on it."},
      {QuestionKind::MediumWritten, "Is dit de diskette die in station %s zat op %s? Terugzetten overschrijft wat erop staat."},
      {QuestionKind::FixedDisk, "Drive %s is a disk that calls itself fixed (%s; letter %s). Every file and partition on it is overwritten. Write it?"},
      {QuestionKind::FixedDisk, "Station %s is een schijf die zich als vast meldt (%s; letter %s). Alle bestanden en partities erop worden overschreven. Wilt u het schrijven?"}};
  const std::string en = "Is this the diskette that was in drive E: on 8 December 2026? Put back overwrites what is on it.";
  const std::string nl = "Is dit de diskette die in station E: zat op 8 december 2026? Terugzetten overschrijft wat erop staat.";
  const std::string fixed = "Drive E: is a disk that calls itself fixed (ACME Stick, 8 GB; letter E:). Every file and partition on it is overwritten. Write it?";
  const std::string vast = "Station E: is een schijf die zich als vast meldt (ACME Stick, 8 GB; letter E:). Alle bestanden en partities erop worden overschreven. Wilt u het schrijven?";
  struct Case { std::string text; bool yesNo; BoxContext context; bool yes; };
  const Case cases[] = {
      {en, true, {true, 'E', true, false, &known}, true},
      {nl, true, {true, 'e', true, false, &known}, true},
      {en, false, {true, 'E', true, false, &known}, false},  // an OK box: a message, not the question
      {en, true, {false, 'E', true, false, &known}, false},  // asked while writing, not putting back
      {en, true, {true, 'E', false, false, &known}, false},  // the drive was not read back as written
      {en, true, {true, 'F', true, false, &known}, false},   // about another drive
      {en, true, {true, 'E', true, false, nullptr}, false},  // the catalogue could not be read
      {"Is this the diskette that was in drive FE: on 8 December 2026? Put back overwrites what is on it.", true,
       {true, 'E', true, false, &known}, false},
      {"Drive E: was changed since the image was written on it on 8 December 2026: what was saved on it since will be lost.\r\n\r\nPut back anyway?",
       true, {true, 'E', true, false, &known}, false},
      {fixed, true, {false, 'E', false, true, &known}, true},  // the stick the tester typed YES for
      {vast, true, {false, 'E', false, true, &known}, true},
      {fixed, true, {false, 'E', false, false, &known}, false},  // not a disk that calls itself fixed
      {fixed, true, {true, 'E', true, true, &known}, false},     // during Put back
      {fixed, true, {false, 'D', false, true, &known}, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MayAnswerYes({c.text, c.yesNo}, c.context), c.yes) << c.text << " " << c.context.letter;
}

TEST(FieldCheck, NamesWhereTheDriveDiffersFromAFatImage) {
  std::vector<uint8_t> image(1474560, 0), plain(1474560, 7);
  const uint8_t boot[] = {0, 2, 1, 1, 0, 2, 0xE0, 0, 0x40, 0x0B, 0xF0, 9, 0};  // 512 bytes a sector, 224 root entries
  std::copy(boot, boot + sizeof boot, image.begin() + 11);
  std::copy_n("KERNEL  SYS", 11, image.begin() + 19 * 512);
  std::vector<uint8_t> mounted = image;
  std::copy_n("SYSTEM~1   \x16", 12, mounted.begin() + 19 * 512 + 32);
  std::copy_n("\xE5OLD    TXT", 11, mounted.begin() + 19 * 512 + 64);  // deleted: no name of its own
  mounted[512 + 5] = 0xFF;
  mounted[40 * 512] = 1;
  EXPECT_EQ(WhereImagesDiffer(image.data(), image.data(), image.size()), "");
  EXPECT_EQ(WhereImagesDiffer(mounted.data(), image.data(), image.size()),
            "the drive differs from byte 517 on, in the FAT, the root directory, the data area; "
            "root directory names the image did not hold: SYSTEM~1");
  // What a drive held before the check need not be a FAT volume.
  EXPECT_EQ(WhereImagesDiffer(image.data(), plain.data(), plain.size()), "the drive differs from byte 0 on");
}

TEST(FieldCheck, RefusesToRunBesideAWizardOnly) {
  for (const char* path : {"C:\\Users\\jan\\Downloads\\MyOsWriter.exe", "D:\\TALVIXDISKWRITER.EXE", "TalvixDiskWriter32.exe"})
    EXPECT_TRUE(IsWizardProgram(path, "E:\\x\\MyOsWriter.exe")) << path;
  // Another program's dialog with a control numbered the same.
  for (const char* path : {"C:\\Program Files\\Other\\setup.exe", "", "C:\\MyOsWriter.exe.bak"})
    EXPECT_FALSE(IsWizardProgram(path, "E:\\x\\MyOsWriter.exe")) << path;
}

TEST(FieldCheck, OnlyAHangFailsTheAnswerTimes) {
  struct Case { std::vector<AnswerSample> samples; size_t slow; const char* failure; };
  const Case cases[] = {
      {{{2, 0, true, "a"}, {3, 0, true, "a"}}, 0, ""},
      // A PC that scans for viruses: slow answers are reported, not failed.
      {{{2, 0, true, "a"}, {180, 5, true, "the image was written"}}, 1, ""},
      {{{2, 0, true, "a"}, {2000, 2000, false, "the drive was put back"}, {2000, 2000, false, "b"}}, 2,
       "the window did not answer within 2 s 2 times, first while the drive was put back"},
      {{}, 0, "the window was never asked"},
  };
  for (const Case& c : cases) {
    const AnswerTimes times = SumUpAnswers(c.samples, 50);
    EXPECT_EQ(times.slow.size(), c.slow);
    EXPECT_EQ(AnswerFailure(times), c.failure);
  }
}

TEST(FieldCheck, SaysWhatTheDriveHolds) {
  const std::vector<uint8_t> before(512, 1), image(512, 2), other(512, 3);
  EXPECT_EQ(WhatDriveHolds(before.data(), image.data(), before.data(), 512), DriveHolds::Before);
  EXPECT_EQ(WhatDriveHolds(image.data(), image.data(), before.data(), 512), DriveHolds::Image);
  EXPECT_EQ(WhatDriveHolds(other.data(), image.data(), before.data(), 512), DriveHolds::Neither);
  // A drive that held the image already is as it was: nothing to write back.
  EXPECT_EQ(WhatDriveHolds(image.data(), image.data(), image.data(), 512), DriveHolds::Before);
  EXPECT_EQ(WhatDriveHolds(nullptr, image.data(), before.data(), 512), DriveHolds::Unread);
}

TEST(FieldCheck, ChoosesTheOneProgramThatCarriesAnImage) {
  struct Case { std::vector<ProgramSeen> beside; bool check32; int chosen; const char* refusalHas; };
  const ProgramSeen writer = {"MyOsWriter.exe", true, false}, writer32 = {"MyOsWriter32.exe", true, true},
                    plain = {"TalvixDiskWriter-plain.exe", false, false}, other = {"Other.exe", true, false};
  const Case cases[] = {
      {{plain, writer}, false, 1, ""},
      {{writer, writer32}, true, 1, ""},  // both widths in one folder: the check's own
      {{writer, writer32}, false, 0, ""},
      {{writer, other}, false, -1, "several programs beside field-check carry an image (MyOsWriter.exe, Other.exe)"},
      {{plain}, false, -1, "no program beside field-check carries an image"},
      {{}, false, -1, "--program PATH"},
  };
  for (const Case& c : cases) {
    std::string refusal;
    EXPECT_EQ(ChooseProgram(c.beside, c.check32, &refusal), c.chosen);
    EXPECT_NE(refusal.find(c.refusalHas), std::string::npos) << refusal;
  }
}

TEST(FieldCheck, ReportNamesWindows11AndHoldsNoUserName) {
  EXPECT_EQ(WindowsEdition("Windows 10 Pro", 22631), "Windows 11 Pro");
  EXPECT_EQ(WindowsEdition("Windows 10 Pro", 19045), "Windows 10 Pro");
  EXPECT_EQ(WindowsEdition("Windows Server 2022 Standard", 20348), "Windows Server 2022 Standard");

  const std::vector<std::string> names = {"jan", "jan.LAPTOP", "JANVAN~1", ""};
  struct Case { const char* text; const char* hidden; };
  for (const Case& c : {
           Case{"C:\\Users\\Jan\\Desktop\\x.exe", "C:\\Users\\%USERNAME%\\Desktop\\x.exe"},
           Case{"C:\\Users\\jan.LAPTOP\\AppData", "C:\\Users\\%USERNAME%\\AppData"},
           Case{"C:\\Users\\jan.OTHER\\AppData", "C:\\Users\\%USERNAME%\\AppData"},
           Case{"Using temporary folder: C:\\Users\\JANVAN~1\\AppData\\Local\\Temp\\",
                "Using temporary folder: C:\\Users\\%USERNAME%\\AppData\\Local\\Temp\\"},
           Case{"C:\\Users\\jan", "C:\\Users\\%USERNAME%"},
           Case{"\"C:/Users/jan/x\" and C:\\Users\\jan-admin\\x and D:\\janitor\\", "\"C:/Users/%USERNAME%/x\" and C:\\Users\\jan-admin\\x and D:\\janitor\\"},
           Case{"jan wrote to E:\\", "jan wrote to E:\\"},
       })
    EXPECT_EQ(HideUserNames(c.text, names), c.hidden);
  // Elevated as another user: the folder under the profiles' folder is a name too.
  EXPECT_EQ(HideUserNames("C:\\USERS\\Piet\\Downloads\\x.exe C:\\Users\\Public\\y C:\\Users\\Piet", {"admin"}, {"C:\\Users\\"}),
            "C:\\USERS\\%USERNAME%\\Downloads\\x.exe C:\\Users\\Public\\y C:\\Users\\%USERNAME%");

  FieldReport report;
  report.userNames = {"jan"};
  report.programs = {{"The program checked", "C:\\Users\\jan\\Downloads\\MyOsWriter.exe, ab12"}};
  report.steps = {{"Image attached to the program", true, 0.1, "C:\\Users\\jan\\Downloads\\MyOsWriter.exe"}};
  report.consoleTrace = {{"Write", "Using temporary folder: C:\\Users\\jan\\AppData\\Local\\Temp\\\n"}};
  const std::string text = ComposeReport(report);
  EXPECT_EQ(text.find("\\jan\\"), std::string::npos) << text;
  EXPECT_NE(text.find("C:\\Users\\%USERNAME%\\Downloads\\MyOsWriter.exe"), std::string::npos);
}

}  // namespace
