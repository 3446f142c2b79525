#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "base/FileSystem.h"
#include "persist/JSON.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

// The text of a one-element array holding `node`, parsed back; absent on failure.
JsonPtr RoundTrip(JsonPtr node) {
    auto array = NewArray();
    ArrayAppend(array.get(), std::move(node));
    auto parsed = Parse(ToText(array.get(), 0));
    if (ArraySize(parsed.get()) != 1) return nullptr;
    return std::move(parsed->elements[0]);
}

TEST(JsonParse, ReadsAnObjectAfterLeadingBlanks) {
    auto root = Parse("  {\"a\": 1}");
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->kind, JsonKind::Object);
    const JsonValue* a = ObjectGet(root.get(), "a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->kind, JsonKind::Integer);
    EXPECT_EQ(GetInteger(a, 0), 1);
}

TEST(JsonParse, ReadsNestedValuesOfEveryKind) {
    auto root = Parse("{\"s\": \"x y\", \"n\": -2.5, \"t\": true, \"f\": false, \"z\": null,"
                      " \"o\": {\"i\": -7}, \"a\": [[], {}, 3]}");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(GetString(ObjectGet(root.get(), "s"), ""), "x y");
    EXPECT_EQ(GetNumber(ObjectGet(root.get(), "n"), 0), -2.5);
    EXPECT_EQ(ObjectGet(root.get(), "t")->kind, JsonKind::True);
    EXPECT_EQ(ObjectGet(root.get(), "f")->kind, JsonKind::False);
    EXPECT_EQ(ObjectGet(root.get(), "z")->kind, JsonKind::Null);
    EXPECT_EQ(GetInteger(ObjectGet(ObjectGet(root.get(), "o"), "i"), 0), -7);
    const JsonValue* a = ObjectGet(root.get(), "a");
    ASSERT_EQ(ArraySize(a), 3);
    EXPECT_EQ(ArraySize(ArrayGet(a, 0)), 0);
    EXPECT_EQ(ArrayGet(a, 1)->kind, JsonKind::Object);
    EXPECT_EQ(GetInteger(ArrayGet(a, 2), 0), 3);
}

TEST(JsonParse, MalformedTextGivesAbsent) {
    const char* cases[] = {
        "",                       // nothing at all
        "12",                     // a bare number is no document
        "\"text\"",               // nor is a bare string
        "[1, 2, ]",               // a value must follow every comma
        "[1 2]",                  // elements need a comma between them
        "{\"a\" 1}",              // the colon is missing
        "{a: 1}",                 // names must be quoted
        "{\"a\": }",              // a member needs a value
        "{\"a\": 1 \"b\": 2}",    // members need a comma between them
        "{\"a\": 1",              // the object is never closed
        "[\"open string]",        // the string is never closed
        "[nul]",                  // not a keyword
        "{\"a\": [1, {\"b\": x}]}",  // an error deep inside spoils the whole text
        "[\"a\"\"b\"]",           // two strings without a comma
    };
    for (const char* text : cases) {
        EXPECT_EQ(Parse(text), nullptr) << text;
    }
}

TEST(JsonParse, RepeatedNameReplacesTheValueInPlace) {
    auto root = Parse("{\"b\": 1, \"a\": 2, \"b\": 3}");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->members.size(), 2u);
    EXPECT_EQ(ToText(root.get(), 0), "\n{\n  \"b\": 3, \n  \"a\": 2\n}");
}

// Small objects are searched member by member, large ones through a table:
// both find every member and replace a repeated one in place.
TEST(JsonParse, RepeatedNamesReplaceInPlaceInSmallAndLargeObjects) {
    for (int members : {3, 15, 16, 40}) {
        std::string text = "{";
        for (int i = 0; i < members; ++i) text += "\"m" + std::to_string(i) + "\": " + std::to_string(i) + ", ";
        text += "\"m1\": 100, \"m" + std::to_string(members - 1) + "\": 200}";
        auto root = Parse(text);
        ASSERT_NE(root, nullptr) << members;
        EXPECT_EQ(root->members.size(), static_cast<std::size_t>(members));
        for (int i = 0; i < members; ++i) {
            int expected = i == 1 ? 100 : i == members - 1 ? 200 : i;
            EXPECT_EQ(GetInteger(ObjectGet(root.get(), test::Numbered("m", i)), -1), expected) << members << " " << i;
        }
        EXPECT_EQ(ObjectGet(root.get(), test::Numbered("m", members)), nullptr);
        EXPECT_EQ(root->members.begin()->first, "m0") << "the first order stays";
    }
}

TEST(JsonParse, StringsTakeTheJsonEscapes) {
    auto root = Parse(R"(["a\nb\tc\r\b\f", "q\"q", "back\\slash", "\\", "S\u00fcd", "\u00FC\/\u20ac",
                         "\ud83d\ude8c", "[\ud83d]", "[\ude8c]", "[\ud83d\u0041]", "[\u0000]"])");
    ASSERT_EQ(ArraySize(root.get()), 11);
    auto text = [&](int i) { return GetString(ArrayGet(root.get(), i), "absent"); };
    EXPECT_EQ(text(0), "a\nb\tc\r\b\f");
    EXPECT_EQ(text(1), "q\"q");
    EXPECT_EQ(text(2), "back\\slash");
    EXPECT_EQ(text(3), "\\");
    EXPECT_EQ(text(4), "S\xC3\xBC" "d");
    EXPECT_EQ(text(5), "\xC3\xBC/\xE2\x82\xAC");
    EXPECT_EQ(text(6), "\xF0\x9F\x9A\x8C") << "a surrogate pair is one character";
    // A surrogate without its partner, and the NUL character, become U+FFFD.
    EXPECT_EQ(text(7), "[\xEF\xBF\xBD]");
    EXPECT_EQ(text(8), "[\xEF\xBF\xBD]");
    EXPECT_EQ(text(9), "[\xEF\xBF\xBD" "A]");
    EXPECT_EQ(text(10), "[\xEF\xBF\xBD]");
}

TEST(JsonParse, HandWrittenTextOutsideTheEscapesKeepsItsCharacters) {
    // A hand-typed path keeps the backslash before a letter that is no
    // escape; a real line break inside a string stays (the writer writes it).
    auto root = Parse("[\"C:\\Maps\\Nord\", \"C:\\Karten\", \"two\nlines\"]");
    ASSERT_EQ(ArraySize(root.get()), 3);
    EXPECT_EQ(GetString(ArrayGet(root.get(), 0), ""), "C:\\Maps\\Nord");
    EXPECT_EQ(GetString(ArrayGet(root.get(), 1), ""), "C:\\Karten");
    EXPECT_EQ(GetString(ArrayGet(root.get(), 2), ""), "two\nlines");
    for (const char* broken : {R"(["\u12"])", R"(["\u12G4"])", R"(["\ud83d\u12"])", "[\"ends in a backslash\\"}) {
        EXPECT_EQ(Parse(broken), nullptr) << broken;
    }
}

TEST(JsonParse, NestingIsLimitedInsteadOfExhaustingTheStack) {
    auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    EXPECT_NE(Parse(nested(kJsonMaxDepth)), nullptr);
    EXPECT_EQ(Parse(nested(kJsonMaxDepth + 1)), nullptr);
    EXPECT_EQ(Parse(std::string(200000, '[')), nullptr);
    EXPECT_EQ(Parse(std::string(100000, '{') + "\"a\":1"), nullptr);
}

struct NumberCase {
    const char* token;
    JsonKind kind;  // Null stands for "rejected"
    double value;
};

TEST(JsonNumbers, AcceptEveryJsonFormAndRejectOthers) {
    const double largest = std::numeric_limits<double>::max();
    const NumberCase cases[] = {
        {"12", JsonKind::Integer, 12},
        {"-7", JsonKind::Integer, -7},
        {"0", JsonKind::Integer, 0},
        {"-0", JsonKind::Integer, 0},
        {"2147483647", JsonKind::Integer, 2147483647},
        {"-2147483648", JsonKind::Integer, -2147483648.0},
        {"2147483648", JsonKind::Number, 2147483648.0},  // beyond int32, still exact
        {"1.5", JsonKind::Number, 1.5},
        {"-0.25", JsonKind::Number, -0.25},
        {"0.0000000001", JsonKind::Number, 1e-10},
        {"0.00000000001", JsonKind::Number, 1e-11},
        {"1.50", JsonKind::Number, 1.5},
        {"10.0", JsonKind::Number, 10},
        {"1e2", JsonKind::Number, 100},
        {"1E+2", JsonKind::Number, 100},
        {"-2.5e-1", JsonKind::Number, -0.25},
        {"1e999", JsonKind::Number, largest},
        {"-1e999", JsonKind::Number, -largest},
        {"1e-999", JsonKind::Number, 0},
        {"+1", JsonKind::Null, 0},
        {"007", JsonKind::Null, 0},
        {".5", JsonKind::Null, 0},
        {"5.", JsonKind::Null, 0},
        {"1e", JsonKind::Null, 0},
        {"1.e3", JsonKind::Null, 0},
        {"-", JsonKind::Null, 0},
        {"0x10", JsonKind::Null, 0},
        {"inf", JsonKind::Null, 0},
        {"nan", JsonKind::Null, 0},
        {"NaN", JsonKind::Null, 0},
        {"12abc", JsonKind::Null, 0},
    };
    for (const auto& c : cases) {
        auto root = Parse(std::string("[") + c.token + "]");
        if (c.kind == JsonKind::Null) {
            EXPECT_EQ(root, nullptr) << c.token;
            continue;
        }
        ASSERT_NE(root, nullptr) << c.token;
        const JsonValue* node = ArrayGet(root.get(), 0);
        EXPECT_EQ(node->kind, c.kind) << c.token;
        EXPECT_EQ(GetNumber(node, -1), c.value) << c.token;
    }
}

TEST(JsonNumbers, WriterFormatDropsTrailingZeros) {
    EXPECT_EQ(FormatJsonNumber(2.0), "2");
    EXPECT_EQ(FormatJsonNumber(0.25), "0.25");
    EXPECT_EQ(FormatJsonNumber(-1.5), "-1.5");
    EXPECT_EQ(FormatJsonNumber(1.0 / 3.0), "0.3333333333");
    EXPECT_EQ(FormatJsonNumber(1e20), "100000000000000000000");
    EXPECT_EQ(FormatJsonNumber(-1e-12), "0");
    EXPECT_EQ(FormatJsonNumber(1e308).size(), 309u);
    // Values the parser could not read back are written as null.
    EXPECT_EQ(FormatJsonNumber(std::numeric_limits<double>::infinity()), "null");
    EXPECT_EQ(FormatJsonNumber(std::numeric_limits<double>::quiet_NaN()), "null");
}

TEST(JsonNumbers, IntegralNumberComesBackAsInteger) {
    auto back = RoundTrip(NewNumber(2.0));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->kind, JsonKind::Integer);
    EXPECT_EQ(GetNumber(back.get(), 0), 2.0);  // still readable as a number

    back = RoundTrip(NewNumber(1234.5678));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->kind, JsonKind::Number);
    EXPECT_EQ(back->number, 1234.5678);
}

TEST(JsonNumbers, FormattingIgnoresTheLocale) {
    const char* commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"};
    const char* chosen = nullptr;
    for (const char* name : commaLocales) {
        if (std::setlocale(LC_ALL, name)) {
            chosen = name;
            break;
        }
    }
    if (!chosen) GTEST_SKIP() << "no locale with a decimal comma is installed";
    std::string formatted = FormatJsonNumber(1.25);
    auto parsed = Parse("[0.5]");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(formatted, "1.25");
    ASSERT_NE(parsed, nullptr);
    EXPECT_EQ(GetNumber(ArrayGet(parsed.get(), 0), 0), 0.5);
}

TEST(JsonWriter, LaysOutObjectsOnLinesAndArraysInline) {
    auto root = NewObject();
    ObjectSet(root.get(), "a", NewInteger(1));
    auto b = NewArray();
    ArrayAppend(b.get(), NewTrue());
    ArrayAppend(b.get(), NewNull());
    ObjectSet(root.get(), "b", std::move(b));
    EXPECT_EQ(ToText(root.get(), 0), "\n{\n  \"a\": 1, \n  \"b\": [true, null]\n}");
}

TEST(JsonWriter, IndentsNestedObjectsAndWritesEmptyContainers) {
    auto inner = NewObject();
    ObjectSet(inner.get(), "x", NewString("y"));
    auto list = NewArray();
    ArrayAppend(list.get(), NewObject());
    ArrayAppend(list.get(), NewFalse());
    auto root = NewObject();
    ObjectSet(root.get(), "inner", std::move(inner));
    ObjectSet(root.get(), "list", std::move(list));
    ObjectSet(root.get(), "empty", NewArray());
    EXPECT_EQ(ToText(root.get(), 0),
              "\n{\n"
              "  \"inner\": \n  {\n    \"x\": \"y\"\n  }, \n"
              "  \"list\": [\n  {\n\n  }, false], \n"
              "  \"empty\": []\n"
              "}");
    EXPECT_EQ(ToText(NewObject().get(), 0), "\n{\n\n}");
    // The writer's own text always parses back to the same text.
    auto again = Parse(ToText(root.get(), 0));
    EXPECT_EQ(ToText(again.get(), 0), ToText(root.get(), 0));
}

TEST(JsonWriter, StringsRoundTripWithBackslashesQuotesAndLineBreaks) {
    const std::string path = "C:\\Maps \"Nord\"";
    EXPECT_EQ(ToText(NewString(path).get(), 0), "\"C:\\\\Maps \\\"Nord\\\"\"");
    const std::string texts[] = {
        path,
        "two\nlines\r\nand a\ttab",
        "ends with a backslash\\",
        "\\\"",
        "Grüße aus Köln – 5 €",
        "",
        "  blanks  ",
        "{\"not\": [\"json\"]}, :",
    };
    for (const auto& text : texts) {
        auto back = RoundTrip(NewString(text));
        ASSERT_NE(back, nullptr) << text;
        EXPECT_EQ(GetString(back.get(), "<absent>"), text);
    }
}

TEST(JsonWriter, MemberNamesWithQuotesStillReadBack) {
    auto root = NewObject();
    ObjectSet(root.get(), "say \"hi\"\\", NewInteger(1));
    auto back = Parse(ToText(root.get(), 0));
    EXPECT_EQ(GetInteger(ObjectGet(back.get(), "say \"hi\"\\"), 0), 1);
}

TEST(JsonAccess, AbsentNodesAndOtherKindsGiveTheFallback) {
    EXPECT_EQ(ObjectGet(nullptr, "a"), nullptr);
    EXPECT_EQ(ArraySize(nullptr), -1);
    EXPECT_EQ(ArrayGet(nullptr, 0), nullptr);
    EXPECT_EQ(GetInteger(nullptr, 5), 5);
    EXPECT_EQ(GetNumber(nullptr, 2.5), 2.5);
    EXPECT_EQ(GetString(nullptr, "dflt"), "dflt");

    auto root = Parse("{\"i\": 3, \"n\": 1.5, \"s\": \"text\", \"a\": [1]}");
    ASSERT_NE(root, nullptr);
    const JsonValue* i = ObjectGet(root.get(), "i");
    const JsonValue* n = ObjectGet(root.get(), "n");
    const JsonValue* s = ObjectGet(root.get(), "s");
    const JsonValue* a = ObjectGet(root.get(), "a");
    EXPECT_EQ(GetInteger(s, -1), -1);
    EXPECT_EQ(GetNumber(s, -1), -1);
    EXPECT_EQ(GetString(n, "none"), "none");
    EXPECT_EQ(GetString(i, "none"), "none");
    EXPECT_EQ(GetString(a, "none"), "none");
    EXPECT_EQ(ObjectGet(a, "i"), nullptr);   // an array has no members
    EXPECT_EQ(ArraySize(i), -1);             // an integer is no array
    EXPECT_EQ(ObjectGet(root.get(), "missing"), nullptr);
    EXPECT_EQ(ArrayGet(a, 1), nullptr);
    EXPECT_EQ(ArrayGet(a, -1), nullptr);
    EXPECT_EQ(GetInteger(ArrayGet(a, 0), 0), 1);
}

// Other tools write stored integers as "10.0" or "1e2": read rounded, and
// bounded to 32 bits.
TEST(JsonAccess, IntegersStoredAsNumbersAreRoundedAndBounded) {
    auto root = Parse("[10.0, 1e2, 2.5, 3.5, -2.6, 1e10, -1e999, 0.4999]");
    ASSERT_EQ(ArraySize(root.get()), 8);
    const int32_t expected[] = {10, 100, 2, 4, -3, 2147483647, -2147483647 - 1, 0};
    for (int32_t i = 0; i < 8; ++i) EXPECT_EQ(GetInteger(ArrayGet(root.get(), i), 99), expected[i]) << i;
}

TEST(JsonAccess, ObjectSetKeepsFirstOrderAndIgnoresAbsentValues) {
    auto root = NewObject();
    ObjectSet(root.get(), "z", NewInteger(1));
    ObjectSet(root.get(), "a", NewInteger(2));
    ObjectSet(root.get(), "z", NewString("new"));
    ObjectSet(root.get(), "gone", nullptr);
    EXPECT_EQ(ToText(root.get(), 0), "\n{\n  \"z\": \"new\", \n  \"a\": 2\n}");

    // Adding to a node of another kind changes nothing.
    auto text = NewString("s");
    ObjectSet(text.get(), "x", NewInteger(1));
    ArrayAppend(text.get(), NewInteger(1));
    ArrayAppend(root.get(), NewInteger(1));
    EXPECT_EQ(ToText(text.get(), 0), "\"s\"");
    EXPECT_EQ(root->members.size(), 2u);
}

TEST(JsonFiles, LoadDetectsTheByteOrderMark) {
    test::TempDir dir;
    auto utf8 = dir.Write("utf8.cfg", "\xEF\xBB\xBF{\"s\": \"K\xC3\xB6ln\"}");
    auto plain = dir.Write("plain.cfg", "{\"s\": \"K\xF6ln \x80\"}");
    // UTF-16 LE with a character outside the basic plane (U+1F68C, a bus).
    std::string utf16 = "\xFF\xFE";
    for (char16_t unit : std::u16string(u"{\"s\": \"K\u00F6ln \U0001F68C\"}")) {
        utf16 += static_cast<char>(unit & 0xFF);
        utf16 += static_cast<char>(unit >> 8);
    }
    auto wide = dir.Write("wide.cfg", utf16);

    EXPECT_EQ(GetString(ObjectGet(Load(utf8).get(), "s"), ""), "Köln");
    EXPECT_EQ(GetString(ObjectGet(Load(plain).get(), "s"), ""), "Köln €");
    EXPECT_EQ(GetString(ObjectGet(Load(wide).get(), "s"), ""), "Köln \xF0\x9F\x9A\x8C");
    EXPECT_EQ(Load(dir.path() / "missing.cfg"), nullptr);
    EXPECT_EQ(Load(dir.Write("broken.cfg", "\xEF\xBB\xBF{\"s\": ")), nullptr);
}

// Bytes after the UTF-8 mark that are no UTF-8 would go on into file names
// and the log: each malformed sequence reads as U+FFFD.
TEST(JsonFiles, MalformedUtf8AfterTheMarkBecomesReplacementCharacters) {
    EXPECT_EQ(DecodeJsonFileBytes("\xEF\xBB\xBF[\"Nord\xFF\", \"S\xC3\", \"\xED\xA0\x80x\", \"K\xC3\xB6ln\"]"),
              "[\"Nord\xEF\xBF\xBD\", \"S\xEF\xBF\xBD\", \"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDx\", \"K\xC3\xB6ln\"]");
}

// Editors save UTF-8 without a mark by default: such a hand-edited project
// must keep its umlauts, and files in the old code page must still read.
TEST(JsonFiles, UnmarkedUtf8IsReadAsUtf8AndEverythingElseAsWindows1252) {
    EXPECT_EQ(DecodeJsonFileBytes("{\"Name\": \"S\xC3\xBC" "dbahnhof \xE2\x82\xAC\"}"), "{\"Name\": \"Südbahnhof €\"}");
    EXPECT_EQ(DecodeJsonFileBytes("{\"Name\": \"S\xFC" "dbahnhof\"}"), "{\"Name\": \"Südbahnhof\"}");
    // "Ã¼" in the code page happens to be the UTF-8 of "ü"; one stray byte
    // elsewhere makes the whole file the code page's.
    EXPECT_EQ(DecodeJsonFileBytes("\xC3\xBC \xFC"), "Ã¼ ü");
    // Overlong forms, surrogates and cut-off sequences are no UTF-8.
    EXPECT_EQ(DecodeJsonFileBytes("\xC0\xAF"), "À¯");
    EXPECT_EQ(DecodeJsonFileBytes("\xED\xA0\x80"), "í\xC2\xA0€");
    EXPECT_EQ(DecodeJsonFileBytes("a\xC3"), "aÃ");
}

TEST(JsonFiles, BrokenUtf16IsDecodedWithoutCrashing) {
    // An unpaired surrogate and an odd trailing byte.
    EXPECT_EQ(DecodeJsonFileBytes(std::string("\xFF\xFE" "[\0\x00\xD8]\0x", 9)), "[\xEF\xBF\xBD]");
}

TEST(JsonFiles, SaveWritesTheMarkAndTheTextAndReportsFailure) {
    test::TempDir dir;
    auto root = NewObject();
    ObjectSet(root.get(), "Name", NewString("Linie 5 – Süd"));
    std::string expected = "\xEF\xBB\xBF" + ToText(root.get(), 0);
    auto file = dir.path() / "saved.cfg";
    ASSERT_TRUE(Save(file, std::move(root)));
    EXPECT_EQ(ReadFileBytes(file), expected);
    EXPECT_EQ(GetString(ObjectGet(Load(file).get(), "Name"), ""), "Linie 5 – Süd");

    EXPECT_FALSE(Save(dir.path() / "no such folder" / "x.cfg", NewObject()));
    EXPECT_FALSE(Save(dir.path(), NewObject()));  // a folder cannot be written as a file
}

}  // namespace
}  // namespace tak
