#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "../mapdata/MapFiles.h"
#include "persist/JSON.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

struct CommandResult {
    int status = -1;
    std::string output;
};

// Runs taktarium-cli from the repository's top folder, where Language/ lies.
CommandResult RunCli(const std::string& arguments) {
    std::string command = "cd '" + test::SourceDir().string() + "' && '" TAKTARIUM_CLI_PATH "' " + arguments +
                          " 2>&1";
    CommandResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer;
    while (std::size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) result.output.append(buffer.data(), n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class CliInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        map.Write("TTData/Busstops.cfg", test::StopListFile({{"Markt", 1}, {"S\xFC" "d", 2}}));
        map.Write("TTData/B.ttp", test::TripHeader("9") + test::StationsTyp2({2, 1}) + test::Profile("P", "4"));
        map.Write("TTData/A.ttp", test::TripHeader("10") + test::StationsTyp2({1, 2}) + test::Profile("P", "4"));
        map.Write("TTData/10.ttl", test::Tour("Run 1", 0x31F, {{"a", 0, "300"}, {"b", 0, "320"}}));
        map.Write("Chrono/Works/Chrono.cfg", "[startdate]\r\n20270301\r\n[deactivate_lines]\r\n1\r\n10\r\n");
        map.Write("Chrono/Works/Chrono_en.dsc", "[name]\r\nRoad works\r\n");
    }
    test::TempDir map;
};

TEST_F(CliInfoTest, PrintsEventsToursTripsAndCountsInTheChosenLanguage) {
    auto result = RunCli("info '" + map.path().string() + "/' --lang English");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Road works"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("Run 1"), std::string::npos);
    EXPECT_NE(result.output.find("Mon"), std::string::npos) << "tour days in the language's words";
    // Trips are listed under their line names, sorted by line name.
    EXPECT_LT(result.output.find("\n  10\n    A"), result.output.find("\n  9\n    B")) << result.output;
}

TEST_F(CliInfoTest, JsonCountsFollowTheDate) {
    auto before = RunCli("info '" + map.path().string() + "' --json --lang English");
    ASSERT_EQ(before.status, 0) << before.output;
    JsonPtr root = Parse(before.output);
    ASSERT_TRUE(root) << before.output;
    EXPECT_EQ(GetInteger(ObjectGet(root.get(), "stops"), -1), 2);
    EXPECT_EQ(GetInteger(ObjectGet(root.get(), "trips"), -1), 2);
    EXPECT_EQ(GetInteger(ObjectGet(root.get(), "lines"), -1), 1);
    EXPECT_EQ(GetInteger(ObjectGet(root.get(), "tourTrips"), -1), 2);
    EXPECT_EQ(GetInteger(ObjectGet(root.get(), "chronoEvents"), -1), 1);
    EXPECT_EQ(GetInteger(ObjectGet(root.get(), "activeChronoEvents"), -1), 0);
    EXPECT_EQ(GetString(ObjectGet(root.get(), "projectName"), ""), map.path().filename().string());

    auto during = RunCli("info '" + map.path().string() + "' --json --date 2027-03-15");
    ASSERT_EQ(during.status, 0) << during.output;
    root = Parse(during.output);
    ASSERT_TRUE(root) << during.output;
    EXPECT_EQ(GetInteger(ObjectGet(root.get(), "lines"), -1), 0) << "the event switches line 10 off";
    EXPECT_EQ(GetInteger(ObjectGet(root.get(), "activeChronoEvents"), -1), 1);
    EXPECT_EQ(GetString(ObjectGet(root.get(), "projectName"), ""),
              map.path().filename().string() + "_20270315");
}

TEST(CliUsage, FailsClearlyOnBadInput) {
    test::TempDir empty;
    auto missing = RunCli("info '" + empty.path().string() + "' --lang English");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find(empty.path().string()), std::string::npos) << missing.output;
    EXPECT_EQ(RunCli("info").status, 2);
    EXPECT_EQ(RunCli("info x --date 2027-02-30").status, 2);
    EXPECT_EQ(RunCli("info x --bogus").status, 2);
    auto help = RunCli("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--date"), std::string::npos);
}

}  // namespace
}  // namespace tak
