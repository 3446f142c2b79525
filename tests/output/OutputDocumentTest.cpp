// The document target every writer draws into: its file names, how it is
// saved in either format, and who saves a shared document.
#include <gtest/gtest.h>

#include "base/FileSystem.h"
#include "base/Language.h"
#include "output/OutputDocument.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

namespace fs = std::filesystem;

class OutputDocumentTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lang.LoadFromBytes("TimeTable = Timetable\nPage = Page\n")); }

    // Draws one page with a line of text, counting the calls.
    std::function<void(DocumentTarget&)> DrawPage() {
        return [this](DocumentTarget& target) {
            ++draws;
            BeginPlanPages(target, lang, "TimeTable", "5", "");
            target.pdf.SelectFont("Helvetica", "", 10);
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
    DocumentTarget target;
    ASSERT_TRUE(WritePlanDocument(target, folder.path(), "Timetable 5.pdf", DrawPage()));
    EXPECT_EQ(draws, 1);
    std::string bytes = ReadFileBytes(folder.path() / "Timetable 5.pdf").value_or("");
    EXPECT_EQ(bytes.rfind("%PDF-", 0), 0u);
    // The page title of the header, as a reader finds it in the compressed page.
    const std::string text =
        test::RunCommand("pdftotext -enc UTF-8 '" + (folder.path() / "Timetable 5.pdf").string() + "' - 2>&1").output;
    EXPECT_NE(text.find("Timetable 5"), std::string::npos) << text;
    EXPECT_EQ(target.pdf.PageNumber(), 1);

    // A plan without a valid file name draws nothing and writes nothing.
    DocumentTarget refused;
    EXPECT_FALSE(WritePlanDocument(refused, folder.path(), "", DrawPage()));
    EXPECT_EQ(draws, 1);
}

TEST_F(OutputDocumentTest, ASharedDocumentGetsThePagesButIsSavedByItsOwner) {
    DocumentTarget shared;
    ASSERT_TRUE(BeginSharedDocument(shared));
    ASSERT_TRUE(WritePlanDocument(shared, folder.path(), "Timetable 5.pdf", DrawPage()));
    ASSERT_TRUE(WritePlanDocument(shared, folder.path(), "Timetable 6.pdf", DrawPage()));
    EXPECT_EQ(draws, 2);
    EXPECT_TRUE(fs::is_empty(folder.path()));  // nothing saved per plan
    EXPECT_EQ(shared.pdf.PageNumber(), 2);
    ASSERT_TRUE(SaveDocument(shared, folder.path(), "Timetables.pdf"));
    EXPECT_TRUE(fs::exists(folder.path() / "Timetables.pdf"));
}

}  // namespace
}  // namespace tak
