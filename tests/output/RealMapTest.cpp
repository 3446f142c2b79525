// A map made by others (../shared/realmaps/NewDavisville beside the source
// folder, read only) run through the whole output with plans of our own
// (tests/data/output/NewDavisville.cfg): trips that give a time only at a few
// stops, tours that start at half minutes and a headway of 4.5 minutes.
// Skipped where the map is not at hand.
#include <algorithm>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "PdfWords.h"
#include "app/AppContext.h"
#include "base/FileSystem.h"
#include "mapdata/MapLoader.h"
#include "output/Output.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

namespace fs = std::filesystem;

// The lines of `text` that start with `prefix` once their leading blanks are dropped.
std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::size_t first = line.find_first_not_of(' ');
        if (first != std::string::npos && line.compare(first, prefix.size(), prefix) == 0) lines.push_back(line);
    }
    return lines;
}

class RealMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf and pdftotext");
        TAKTARIUM_REAL_MAPS_OR_SKIP(realMaps);
        const fs::path map = realMaps / "NewDavisville";
        for (const char* tool : {"pdftotext", "qpdf"}) {
            if (std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) != 0) {
                GTEST_SKIP() << tool << " is not installed";
            }
        }
        ASSERT_TRUE(context.language.LoadLanguage(test::SourceDir() / "Language", "German"));
        // The project file stands where the program looks for it.
        fs::create_directories(working.path() / "output");
        fs::copy_file(test::SourceDir() / "tests" / "data" / "output" / "NewDavisville.cfg",
                      working.path() / "output" / "NewDavisville.cfg");
        context.workingFolder = working.path();
        ASSERT_TRUE(LoadMapAndProject(context, map, kNoDate));
        ASSERT_TRUE(context.projectLoad.parsed);
        ASSERT_EQ(context.projectName, "NewDavisville");
    }

    fs::path File(const std::string& name) const { return working.path() / "output" / "NewDavisville" / name; }

    std::string Text(const std::string& name) const {
        return test::RunCommand("pdftotext -layout -enc UTF-8 '" + File(name).string() + "' - 2>/dev/null").output;
    }

    test::TempDir working;
    AppContext context;
    OutputRunControl control;
    OutputLog log;
};

TEST_F(RealMapTest, EveryDocumentIsWholeInsideItsMarginsWithEstimatedTimesAndRoundedHeadways) {
    ASSERT_EQ(context.project.timeTablePlans.size(), 3u);
    EXPECT_EQ(RunOutput(context, control, log), 0);
    int documents = 0;
    for (const auto& entry : fs::directory_iterator(File(""))) {
        ++documents;
        test::CommandResult check = test::RunCommand("qpdf --check '" + entry.path().string() + "' 2>&1");
        EXPECT_EQ(check.status, 0) << entry.path() << "\n" << check.output;
        std::vector<std::string> outside = test::WordsOutsideMargins(entry.path(), 28.35f);
        EXPECT_TRUE(outside.empty()) << outside.front() << " and " << outside.size() - 1 << " more";
    }
    EXPECT_EQ(documents, 7);

    // Line 42A gives its six stops only a duration of four minutes.
    std::string line42 = Text("Fahrplan 42A.pdf");
    for (const char* row : {"Myers Lane           ab   05:00 06:00", "Michael Drive        ab   05:01 06:01",
                            "Brahms Avenue        ab   05:02 06:02", "Bedle Avenue         ab   05:03 06:03",
                            "Don Mills Road       ab   05:04 06:04"}) {
        EXPECT_NE(line42.find(row), std::string::npos) << row << "\n" << line42;
    }
    // Line 11 leaves every 4.5 minutes from 5:31 (its stops are reached at
    // half minutes); its interval column names both printed gaps.
    std::string line11 = Text("Fahrplan 11 Bayview Nord.pdf");
    EXPECT_NE(line11.find("4-5"), std::string::npos) << line11;
    // The layout's spacing follows the whole page; the row's words do not.
    std::string squeezed = line11;
    squeezed.erase(std::unique(squeezed.begin(), squeezed.end(), [](char a, char b) { return a == ' ' && b == ' '; }),
                   squeezed.end());
    EXPECT_NE(squeezed.find("Pailton Crescent ab 05:33"), std::string::npos) << line11;

    // The tour plan's pauses add up with the printed times: arrival 05:39,
    // one minute, departure 05:40 (the second trip leaves at 5:39:30).
    std::vector<std::string> bayview = LinesStartingWith(Text("Umlauf 11 Bayview.pdf"), "Bayview Avenue");
    std::vector<std::string> pauses = LinesStartingWith(Text("Umlauf 11 Bayview.pdf"), "Pause");
    ASSERT_GE(bayview.size(), 2u);
    ASSERT_GE(pauses.size(), 1u);
    EXPECT_NE(bayview[0].find("ab   05:39 05:57"), std::string::npos) << bayview[0];
    EXPECT_NE(pauses[0].find(" 00:01 00:01"), std::string::npos) << pauses[0];
    EXPECT_NE(bayview[1].find("ab   05:40 05:58"), std::string::npos) << bayview[1];
}

}  // namespace
}  // namespace tak
