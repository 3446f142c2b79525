#include <gtest/gtest.h>

#include "base/FileSystem.h"
#include "persist/JSON.h"
#include "persist/ProgramSettings.h"
#include "support/FileSizeLimit.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

TEST(ProgramSettings, DefaultsWithoutAFile) {
    test::TempDir dir;
    ProgramSettings settings = ReadProgramSettings(dir.path() / kProgramSettingsFileName);
    EXPECT_FALSE(settings.readFromFile);
    EXPECT_EQ(settings.map, "");
    EXPECT_EQ(settings.date, "");
    EXPECT_EQ(settings.language, "German");
    EXPECT_EQ(settings.warnings, 1);
}

TEST(ProgramSettings, AFullDiskKeepsTheSavedSettings) {
    test::TempDir dir;
    const auto file = dir.path() / kProgramSettingsFileName;
    ProgramSettings settings;
    settings.map = "maps" + std::string(1, kSeparator) + "Town";
    settings.language = "English";
    ASSERT_TRUE(SaveProgramSettings(file, settings));
    const std::string saved = ReadFileBytes(file).value_or("");
    settings.map = std::string(500, 'x');
    {
        test::FileSizeLimit disk(static_cast<rlim_t>(saved.size()));
        TAKTARIUM_REQUIRE_FILE_SIZE_LIMIT(disk);
        EXPECT_FALSE(SaveProgramSettings(file, settings));
    }
    EXPECT_EQ(ReadFileBytes(file).value_or(""), saved);
    EXPECT_EQ(ReadProgramSettings(file).language, "English");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

TEST(ProgramSettings, CodePageIsStoredAndAnUnknownOneFallsBackTo1252) {
    test::TempDir dir;
    const auto file = dir.path() / kProgramSettingsFileName;
    EXPECT_EQ(ReadProgramSettings(file).codePage, 1252);
    ProgramSettings settings;
    settings.codePage = 1250;
    ASSERT_TRUE(SaveProgramSettings(file, settings));
    EXPECT_NE(ReadFileBytes(file).value_or("").find("\"CodePage\": 1250"), std::string::npos);
    EXPECT_EQ(ReadProgramSettings(file).codePage, 1250);
    for (const char* hand : {"1253", "-1", "\"1251\""}) {
        dir.Write(kProgramSettingsFileName, std::string("{\"CodePage\": ") + hand + "}");
        EXPECT_EQ(ReadProgramSettings(file).codePage, 1252) << hand;
    }
}

TEST(ProgramSettings, DefaultsForMissingKeysAndUnreadableFiles) {
    test::TempDir dir;
    auto partial = dir.Write("partial.cfg", "\xEF\xBB\xBF{\"Warnings\": 0, \"Language\": \"\"}");
    ProgramSettings settings = ReadProgramSettings(partial);
    EXPECT_TRUE(settings.readFromFile);
    EXPECT_EQ(settings.warnings, 0);
    EXPECT_EQ(settings.language, "German");  // an empty name would load no texts at all
    EXPECT_EQ(settings.map, "");

    for (const char* broken : {"{\"Map\": ", "[1, 2]", "\x01\x02garbage"}) {
        auto file = dir.Write("broken.cfg", broken);
        ProgramSettings fallback = ReadProgramSettings(file);
        EXPECT_FALSE(fallback.readFromFile) << broken;
        EXPECT_EQ(fallback.language, "German");
        EXPECT_EQ(fallback.warnings, 1);
    }
}

TEST(ProgramSettings, RoundTripStoresSlashesAndUsesThePlatformSeparator) {
    test::TempDir dir;
    auto file = dir.path() / kProgramSettingsFileName;
    ProgramSettings saved;
    saved.map = std::string("maps") + kSeparator + "Süderstadt" + kSeparator;
    saved.date = "01.03.2017";
    saved.language = "English";
    saved.warnings = 0;
    ASSERT_TRUE(SaveProgramSettings(file, saved));

    auto stored = Load(file);
    EXPECT_EQ(GetString(ObjectGet(stored.get(), "Map"), ""), "maps/Süderstadt/");
    EXPECT_TRUE(ReadFileBytes(file)->starts_with("\xEF\xBB\xBF"));

    ProgramSettings read = ReadProgramSettings(file);
    EXPECT_TRUE(read.readFromFile);
    EXPECT_EQ(read.map, saved.map);
    EXPECT_EQ(read.date, "01.03.2017");
    EXPECT_EQ(read.language, "English");
    EXPECT_EQ(read.warnings, 0);
    EXPECT_EQ(read.supportMail, "") << "no support address unless one is set";

    // A support address set by hand survives the program's next save.
    dir.Write(kProgramSettingsFileName, "{\"Language\": \"German\", \"SupportMail\": \"help@example.org\"}");
    read = ReadProgramSettings(file);
    EXPECT_EQ(read.supportMail, "help@example.org");
    ASSERT_TRUE(SaveProgramSettings(file, read));
    EXPECT_EQ(ReadProgramSettings(file).supportMail, "help@example.org");
}

TEST(ProgramSettings, BackslashesOfAWindowsPathAreStoredAsSlashes) {
    test::TempDir dir;
    auto file = dir.path() / kProgramSettingsFileName;
    ProgramSettings saved;
    saved.map = "C:\\Sim\\maps\\Nord\\";
    ASSERT_TRUE(SaveProgramSettings(file, saved));
    EXPECT_EQ(GetString(ObjectGet(Load(file).get(), "Map"), ""), "C:/Sim/maps/Nord/");
    std::string expected = std::string("C:") + kSeparator + "Sim" + kSeparator + "maps" + kSeparator +
                           "Nord" + kSeparator;
    EXPECT_EQ(ReadProgramSettings(file).map, expected);
}

TEST(ProgramSettings, DateSwitchOffIsStoredAsEmptyTextAndFailedSavesAreReported) {
    test::TempDir dir;
    auto file = dir.path() / kProgramSettingsFileName;
    ASSERT_TRUE(SaveProgramSettings(file, ProgramSettings{}));
    auto stored = Load(file);
    EXPECT_EQ(GetString(ObjectGet(stored.get(), "Date"), "<absent>"), "");
    EXPECT_EQ(ReadProgramSettings(file).date, "");
    EXPECT_FALSE(SaveProgramSettings(dir.path() / "missing" / kProgramSettingsFileName, ProgramSettings{}));
}

}  // namespace
}  // namespace tak
