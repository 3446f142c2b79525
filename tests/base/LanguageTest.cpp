#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "base/FileSystem.h"
#include "base/Language.h"
#include "base/Text.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMark = "\xEF\xBB\xBF";

TEST(LanguageFile, ReadsKeyValueLinesWithTheirRules) {
    LanguageTable table;
    ASSERT_TRUE(table.LoadFromBytes(std::string(kMark) +
                                    "; a comment = not a key\r\n"
                                    "\r\n"
                                    "  \tIndented = value\r\n"
                                    "Spaced \t =  \t padded value \t\r\n"
                                    "Lines = first|second||fourth\r\n"
                                    "Equation = a = b\r\n"
                                    "no equals sign here\r\n"
                                    " = no key\r\n"
                                    "Empty =\r\n"
                                    "Twice = old\r\n"
                                    "Twice = new\r\n"
                                    "Umlaut = Grüße"));
    EXPECT_EQ(table.Lang("Indented"), "value");
    EXPECT_EQ(table.Lang("Spaced"), "padded value");
    EXPECT_EQ(table.Lang("Lines"), "first\nsecond\n\nfourth");
    EXPECT_EQ(table.Lang("Equation"), "a = b");
    EXPECT_EQ(table.Lang("Twice"), "new");
    EXPECT_EQ(table.Lang("Umlaut"), "Grüße");
    EXPECT_TRUE(table.Contains("Empty"));
    EXPECT_EQ(table.Lang("Empty"), "");
    EXPECT_FALSE(table.Contains("; a comment"));
    EXPECT_EQ(table.Size(), 7u);
}

TEST(LanguageFile, TextWithoutMarkIsWindows1252) {
    LanguageTable table;
    ASSERT_TRUE(table.LoadFromBytes("Day5 = Samstag\nDay9 = Gr\xFC\xDF" "e \x80\n"));
    EXPECT_EQ(table.Lang("Day9"), "Grüße €");
}

TEST(LanguageFile, UnmarkedUtf8StaysUtf8) {
    LanguageTable table;
    ASSERT_TRUE(table.LoadFromBytes("Day5 = Samstag\nDay9 = Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC\n"));
    EXPECT_EQ(table.Lang("Day9"), "Grüße €");
}

TEST(LanguageFile, GroupLineEndsTheUsefulPart) {
    LanguageTable table;
    ASSERT_TRUE(table.LoadFromBytes("Before = 1\n  [Group]\nAfter = 2\n"));
    EXPECT_EQ(table.Lang("Before"), "1");
    EXPECT_FALSE(table.Contains("After"));

    LanguageTable empty;
    EXPECT_FALSE(empty.LoadFromBytes("[Group]\nKey = value\n"));
    EXPECT_EQ(empty.Size(), 0u);
}

TEST(LanguageFile, FileWithoutKeysLeavesTheTableUnchanged) {
    LanguageTable table;
    ASSERT_TRUE(table.LoadFromBytes("Key = kept\n"));
    EXPECT_FALSE(table.LoadFromBytes("; only a comment\n\n"));
    EXPECT_FALSE(table.LoadFromBytes(""));
    EXPECT_EQ(table.Lang("Key"), "kept");

    test::TempDir dir;
    EXPECT_FALSE(table.LoadLanguage(dir.path(), "Missing"));
    EXPECT_EQ(table.Lang("Key"), "kept");
}

TEST(LanguageFile, LoadingReplacesTheWholeTableAndLookupsChangeNothing) {
    LanguageTable table;
    ASSERT_TRUE(table.LoadFromBytes("Old = 1\nShared = old\n"));
    ASSERT_TRUE(table.LoadFromBytes("Shared = new\n"));
    EXPECT_FALSE(table.Contains("Old"));
    EXPECT_EQ(table.Lang("Shared"), "new");
    EXPECT_EQ(table.Lang("Unknown"), "");
    EXPECT_FALSE(table.Contains("Unknown"));
    EXPECT_EQ(table.Size(), 1u);
}

TEST(LanguageFolder, LoadsByNameIgnoringCaseAndListsTheLanguages) {
    test::TempDir dir;
    dir.Write("Language/German.txt", std::string(kMark) + "LangShort = de\n");
    dir.Write("Language/english.TXT", "LangShort = en\n");
    dir.Write("Language/Notes.md", "not a language\n");
    fs::create_directories(dir.path() / "Language" / "Folder.txt");
    fs::path folder = dir.path() / "Language";

    EXPECT_EQ(ListLanguages(folder), (std::vector<std::string>{"German", "english"}));
    EXPECT_TRUE(ListLanguages(dir.path() / "nowhere").empty());

    LanguageTable table;
    ASSERT_TRUE(table.LoadLanguage(folder, "English"));
    EXPECT_EQ(table.Lang("LangShort"), "en");
    ASSERT_TRUE(table.LoadLanguage(folder, "german"));
    EXPECT_EQ(table.Lang("LangShort"), "de");
    EXPECT_FALSE(table.LoadLanguage(folder, "../Language/German"));
    EXPECT_FALSE(table.LoadLanguage(folder, ""));
}

TEST(LanguageFolder, FirstExistingCandidateWins) {
    test::TempDir work;
    test::TempDir program;
    program.Write("language/English.txt", "LangShort = en\n");
    auto candidates = LanguageFolderCandidates(work.path(), program.path());
    ASSERT_GE(candidates.size(), 3u);
    EXPECT_EQ(candidates[0], work.path());
    EXPECT_EQ(candidates[1], program.path());
    // An installation found from where the program lies, moved or not.
    EXPECT_EQ(candidates[2], program.path().parent_path() / "share" / "taktarium");
#if defined(_WIN32)
    EXPECT_EQ(candidates.size(), 3u);  // no folder of the build machine compiled in
#else
    EXPECT_EQ(candidates.size(), 4u);
#endif

    // No folder in the working folder: the one beside the program is taken,
    // even with other letter case.
    EXPECT_EQ(FindLanguageFolder({work.path(), program.path()}), program.path() / "language");
    work.Write("Language/German.txt", "LangShort = de\n");
    EXPECT_EQ(FindLanguageFolder({work.path(), program.path()}), work.path() / "Language");
    // A file named Language is no folder.
    test::TempDir odd;
    odd.Write("Language", "x");
    EXPECT_EQ(FindLanguageFolder({odd.path(), fs::path()}), std::nullopt);
}

TEST(Placeholders, AreReplacedInOnePass) {
    EXPECT_EQ(FillPlaceholders("%1 zu %2 (%3)", {"A", "B", "C"}), "A zu B (C)");
    EXPECT_EQ(FillPlaceholders("%2, %1, %2", {"x", "y"}), "y, x, y");
    EXPECT_EQ(FillPlaceholders("%1", {"%2"}), "%2");  // an argument is not read again
    EXPECT_EQ(FillPlaceholders("%1 %4 100% %", {"a"}), "a %4 100% %");
}

TEST(Placeholders, ChoiceTakesTheFormOfThePlaceholderBeforeIt) {
    const char* text = "%1 {Fahrplan/Fahrpläne}, %2 {Warnung/Warnungen}";
    EXPECT_EQ(FillPlaceholders(text, {"1", "2"}), "1 Fahrplan, 2 Warnungen");
    EXPECT_EQ(FillPlaceholders(text, {"0", "1"}), "0 Fahrpläne, 1 Warnung");
    EXPECT_EQ(FillPlaceholders(text, {"11", "21"}), "11 Fahrpläne, 21 Warnungen");
    // The order in the text counts, not the number of the placeholder.
    EXPECT_EQ(FillPlaceholders("Linie %2 hat %1 {Verbindung/Verbindungen}", {"1", "7"}), "Linie 7 hat 1 Verbindung");
    // Braces without a choice, and a choice before any placeholder, stay.
    EXPECT_EQ(FillPlaceholders("{a/b} %1 {x} {y", {"1"}), "{a/b} 1 {x} {y");
}

// The two language files shipped with the program.

std::vector<std::string> RequiredKeys() {
    auto bytes = ReadFileBytes(test::SourceDir() / "tests" / "data" / "language_keys.txt");
    std::vector<std::string> keys;
    if (!bytes) return keys;
    std::istringstream lines(*bytes);
    for (std::string line; std::getline(lines, line);) {
        std::string key(TrimBlanksAndTabs(line));
        if (!key.empty() && !key.starts_with('#')) keys.push_back(key);
    }
    return keys;
}

std::set<std::string> KeysOfFile(const fs::path& file) {
    auto bytes = ReadFileBytes(file);
    std::set<std::string> keys;
    if (!bytes) return keys;
    std::istringstream lines(*bytes);
    for (std::string line; std::getline(lines, line);) {
        std::string_view text = TrimBlanksAndTabs(line);
        if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
        if (text.starts_with('[')) break;
        if (text.empty() || text.starts_with(';')) continue;
        auto equals = text.find('=');
        if (equals != std::string_view::npos) keys.emplace(TrimBlanksAndTabs(text.substr(0, equals)));
    }
    return keys;
}

std::set<std::string> Placeholders(const std::string& text) {
    std::set<std::string> found;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9') found.insert(text.substr(i, 2));
    }
    return found;
}

std::size_t LineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
}

class ShippedLanguage : public ::testing::TestWithParam<const char*> {
protected:
    fs::path Folder() const { return test::SourceDir() / "Language"; }
    LanguageTable Load() const {
        LanguageTable table;
        EXPECT_TRUE(table.LoadLanguage(Folder(), GetParam()));
        return table;
    }
};

TEST_P(ShippedLanguage, IsUtf8WithMarkAndHasEveryRequiredKey) {
    auto bytes = ReadFileBytes(Folder() / (std::string(GetParam()) + ".txt"));
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(bytes->starts_with(kMark));
    auto keys = RequiredKeys();
    ASSERT_GT(keys.size(), 200u);
    LanguageTable table = Load();
    for (const auto& key : keys) {
        EXPECT_FALSE(table.Lang(key).empty()) << GetParam() << " lacks " << key;
    }
}

TEST_P(ShippedLanguage, PlaceholdersAndLinesFitTheirUse) {
    LanguageTable table = Load();
    struct Need {
        const char* key;
        std::set<std::string> placeholders;
        std::size_t lines;  // 0: any number of lines
    };
    const Need needs[] = {
        {"ErrCreateOutput", {"%1"}, 1},
        {"WarnWrongOrder", {"%1", "%2", "%3"}, 1},
        {"MessageAddNL1", {"%1"}, 1},
        {"MessageAddNL2", {"%2", "%3"}, 0},
        {"QuestDelLine", {"%1", "%2"}, 0},
        {"AlterWayShort", {"%1"}, 1},
        {"IterUniXS", {"%1"}, 1},
        {"IterUniShort", {"%1"}, 2},
        {"IterUniNorm", {"%1"}, 3},
        {"IterIrrXXS", {"%1"}, 1},
        {"IterIrrXS", {"%1"}, 2},
        {"IterIrrShort", {"%1"}, 3},
        {"IterIrrNorm", {"%1"}, 4},
    };
    for (const auto& need : needs) {
        std::string text = table.Lang(need.key);
        EXPECT_EQ(Placeholders(text), need.placeholders) << GetParam() << " " << need.key;
        if (need.lines) {
            EXPECT_EQ(LineCount(text), need.lines) << GetParam() << " " << need.key;
        }
    }
    // Counts read in the singular for one and in the plural otherwise.
    bool german = std::string(GetParam()) == "German";
    EXPECT_EQ(FillPlaceholders(table.Lang("CheckSummary"), {"1", "1"}),
              german ? "1 Fehler, 1 Warnung" : "1 error, 1 warning");
    EXPECT_EQ(FillPlaceholders(table.Lang("CheckSummary"), {"2", "0"}),
              german ? "2 Fehler, 0 Warnungen" : "2 errors, 0 warnings");
    EXPECT_EQ(FillPlaceholders(table.Lang("ProjectShown"), {"P", "1", "2", "1", "0"}),
              german ? "Projekt P: 1 Fahrplan, 2 Umlaufpläne, 1 Aushangfahrplan, 0 Liniennetzpläne"
                     : "Project P: 1 timetable, 2 tour plans, 1 stop timetable, 0 route maps");
    // Ten different check box captions for the day bits.
    std::set<std::string> shortDays;
    for (int bit = 0; bit <= 9; ++bit) shortDays.insert(table.Lang("ShortDay" + std::to_string(bit)));
    EXPECT_EQ(shortDays.size(), 10u);
}

INSTANTIATE_TEST_SUITE_P(Files, ShippedLanguage, ::testing::Values("German", "English"));

TEST(ShippedLanguages, ShareOneKeySetAndPlaceholders) {
    fs::path folder = test::SourceDir() / "Language";
    auto german = KeysOfFile(folder / "German.txt");
    auto english = KeysOfFile(folder / "English.txt");
    EXPECT_EQ(german, english);
    LanguageTable de;
    LanguageTable en;
    ASSERT_TRUE(de.LoadLanguage(folder, "German"));
    ASSERT_TRUE(en.LoadLanguage(folder, "English"));
    EXPECT_EQ(de.Lang("LangShort"), "de");
    EXPECT_EQ(en.Lang("LangShort"), "en");
    for (const auto& key : german) {
        EXPECT_EQ(Placeholders(de.Lang(key)), Placeholders(en.Lang(key))) << key;
    }
    EXPECT_EQ(ListLanguages(folder), (std::vector<std::string>{"English", "German"}));
}

TEST(LanguageTable, KeyMarksStayInCaptionsAndLeaveTheReadText) {
    LanguageTable table;
    ASSERT_TRUE(table.LoadFromBytes("Load = &Laden\nWeek = Mo && Sa\nDays = Mo & Sa\nPlans = &Umlaufpl\xE4ne\n"
                                    "Tail = Ende&\nMid = Aus&hang\n"));
    EXPECT_EQ(table.Lang("Load"), "Laden");
    EXPECT_EQ(table.Caption("Load"), "&Laden");
    EXPECT_EQ(table.Lang("Week"), "Mo & Sa");
    EXPECT_EQ(table.Lang("Days"), "Mo & Sa") << "an ampersand before a blank is text";
    EXPECT_EQ(table.Lang("Plans"), "Umlaufpl\xC3\xA4ne");
    EXPECT_EQ(table.Lang("Tail"), "Ende&");
    EXPECT_EQ(table.Lang("Mid"), "Aushang");
    EXPECT_EQ(table.Caption("Missing"), "");
}

}  // namespace
}  // namespace tak
