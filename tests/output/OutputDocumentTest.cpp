// The document target every writer draws into: its file names, how it is
// saved in either format, and who saves a shared document.
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/FileSystem.h"
#include "base/Language.h"
#include "output/OutputDocument.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

namespace fs = std::filesystem;

class OutputDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(lang.LoadFromBytes("TimeTable = Timetable\nPage = Page\nHeadingLine = Line %1\n"
                                       "HeadingDirection = to %1\nValidFrom = valid from %1\n"));
    }

    // Draws one page with a line of text, counting the calls.
    std::function<void(DocumentTarget&)> DrawPage() {
        return [this](DocumentTarget& target) {
            ++draws;
            BeginPlanPages(target, lang, "TimeTable", "5", "");
            target.pdf.SelectFont("Helvetica", {}, 10);
            target.pdf.PutCell(0, 12, "Markt 06:00");
        };
    }

    LanguageTable lang;
    test::TempDir folder;
    int draws = 0;
};

TEST_F(OutputDocumentTest, FileNamesKeepInsideTheOutputFolder) {
    EXPECT_EQ(DocumentFileName(lang, "TimeTable", "Linie 5", ".pdf"), "Timetable Linie 5.pdf");
    EXPECT_EQ(DocumentExtension(DocumentFormat::Text), ".txt");
    for (const char* name : {"../escape", "a/b", "a\\b", "C:", "tab\there", "what?"}) {
        EXPECT_EQ(DocumentFileName(lang, "TimeTable", name, ".txt"), "") << name;
    }
}

TEST_F(OutputDocumentTest, ATextDocumentIsSavedAsItsBytes) {
    DocumentTarget target;
    target.text = "left over";
    ASSERT_TRUE(BeginDocument(target, DocumentFormat::Text));
    EXPECT_TRUE(target.text.empty());  // a new document starts empty
    target.text = "Markt  06:00\r\n";
    ASSERT_TRUE(SaveDocument(target, folder.path(), "Timetable 5.txt"));
    EXPECT_EQ(ReadFileBytes(folder.path() / "Timetable 5.txt").value_or(""), "Markt  06:00\r\n");
    // An empty name (no valid file name) is a failure, not a file named ".txt".
    EXPECT_FALSE(SaveDocument(target, folder.path(), ""));
    EXPECT_FALSE(SaveDocument(target, folder.path() / "missing", "Timetable 5.txt"));
}

TEST_F(OutputDocumentTest, APlanOfItsOwnIsDrawnAndSavedAsAPdf) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("pdftotext");
    DocumentTarget target;
    ASSERT_TRUE(BeginDocument(target, DocumentFormat::Pdf));
    DrawPage()(target);
    ASSERT_TRUE(SaveDocument(target, folder.path(), "Timetable 5.pdf"));
    EXPECT_EQ(draws, 1);
    std::string bytes = ReadFileBytes(folder.path() / "Timetable 5.pdf").value_or("");
    EXPECT_EQ(bytes.rfind("%PDF-", 0), 0u);
    // The page title of the header, as a reader finds it in the compressed page.
    const std::string text =
        test::RunCommand("pdftotext -enc UTF-8 '" + (folder.path() / "Timetable 5.pdf").string() + "' - 2>&1").output;
    EXPECT_NE(text.find("Timetable 5"), std::string::npos) << text;
    EXPECT_EQ(target.pdf.PageNumber(), 1);

    // Without a valid file name nothing is written.
    EXPECT_FALSE(SaveDocument(target, folder.path(), ""));
    EXPECT_FALSE(SaveDocument(target, folder.path(), "../Timetable 5.pdf"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST_F(OutputDocumentTest, ASharedDocumentHoldsThePagesOfEveryPlanDrawnIntoIt) {
    DocumentTarget shared;
    ASSERT_TRUE(BeginSharedDocument(shared));
    DrawPage()(shared);
    DrawPage()(shared);
    EXPECT_EQ(draws, 2);
    EXPECT_EQ(shared.pdf.PageNumber(), 2);
    ASSERT_TRUE(SaveDocument(shared, folder.path(), "Timetables.pdf"));
    EXPECT_TRUE(fs::exists(folder.path() / "Timetables.pdf"));
}

TEST_F(OutputDocumentTest, AHeadingNamesLinesDirectionValidityAndOperator) {
    DocumentStamp stamp{"14.01.2025", "Stadtwerke", {{"5", 0xFFD700}}};
    PageHeading heading = MakePageHeading(lang, "TimeTable", "5 Nord", "", {"5", "5E"}, {"Südbahnhof", "Klinikum"},
                                          &stamp);
    EXPECT_EQ(heading.title, "Timetable 5 Nord");
    EXPECT_EQ(heading.lines, (std::vector<LineBadge>{{"5", 0xFFD700}, {"5E", kNeutralBadge}}));
    EXPECT_EQ(heading.direction, "to Südbahnhof, Klinikum");
    EXPECT_EQ(PageHeadingText(lang, heading, "\r\n"),
              "Timetable 5 Nord\r\nLine 5, 5E, to Südbahnhof, Klinikum\r\nvalid from 14.01.2025\r\n"
              "Stadtwerke\r\n\r\n");
    // A headline wins over the kind and name; without a stamp there is no
    // validity and no operator, and nothing is left empty in the text.
    PageHeading plain = MakePageHeading(lang, "TimeTable", "5", "Linie 5 ab 1. Mai", {}, {}, nullptr);
    EXPECT_EQ(PageHeadingText(lang, plain, "\n"), "Linie 5 ab 1. Mai\n\n");
}

// Continuation pages carry the same heading as the first one.
TEST_F(OutputDocumentTest, EveryPageOfAPlanStartsWithItsHeading) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("pdftotext");
    if (std::system("command -v pdftotext >/dev/null 2>&1") != 0) {
        if (test::RunningUnderCi()) FAIL() << "pdftotext missing under CI";
        GTEST_SKIP() << "pdftotext is not installed";
    }
    DocumentStamp stamp{"14.01.2025", "Stadtwerke Mühlbrück", {}};
    DocumentTarget target;
    ASSERT_TRUE(BeginDocument(target, DocumentFormat::Pdf));
    BeginPlanPages(target, lang, MakePageHeading(lang, "TimeTable", "5", "", {"5"}, {"Südbahnhof"}, &stamp));
    target.pdf.SelectFont("Helvetica", {}, 10);
    for (int row = 0; row < 120; ++row) target.pdf.PutCell(0, 12, "Markt 06:00", PdfBorder::None, PdfCursor::NextLine);
    ASSERT_TRUE(SaveDocument(target, folder.path(), "Timetable 5.pdf"));
    int pages = target.pdf.PageNumber();
    ASSERT_GE(pages, 3);
    fs::path file = folder.path() / "Timetable 5.pdf";
    for (int page = 1; page <= pages; ++page) {
        std::string text = test::RunCommand("pdftotext -enc UTF-8 -f " + std::to_string(page) + " -l " +
                                            std::to_string(page) + " '" + file.string() + "' -")
                               .output;
        for (const char* part : {"Timetable 5", "to Südbahnhof", "valid from 14.01.2025", "Stadtwerke Mühlbrück"}) {
            EXPECT_NE(text.find(part), std::string::npos) << "page " << page << " lacks " << part;
        }
    }
}

}  // namespace
}  // namespace tak
