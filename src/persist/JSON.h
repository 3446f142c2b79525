// The program's own small JSON codec: a tree of JsonValue nodes, a parser,
// a pretty-printing writer, typed getters with defaults, and file load/save
// with byte-order marks.
//
// The files it writes are JSON-like, not JSON: strings use no escape letters,
// so a line break or tab inside a text stands in the file as it is, which
// standard JSON forbids. The parser reads standard JSON as well as these
// files, and keeps a backslash that starts no escape ("C:\Maps").
//
// Integers and floating-point numbers are kept apart: a whole number that fits
// 32 bits ("12", "-0") reads as an integer, every other number ("1.5", "10.0",
// "1e3", "3000000000") as a number. Forms JSON does not have ("+1", "007",
// "1.", "NaN") are rejected. The writer escapes only the backslash and the
// double quote, so text it wrote reads back unchanged.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tak {

enum class JsonKind : int {
    Null = 0,
    True = 1,
    False = 2,
    Integer = 3,
    Number = 4,
    String = 5,
    Object = 6,
    Array = 7,
};

struct JsonValue;
// A node owned by the caller; nullptr stands for "absent".
using JsonPtr = std::unique_ptr<JsonValue>;

// The members of an object in the order they were first set. Setting a name
// that exists replaces its value in place, so files keep a stable order and
// diffs of saved files stay small.
class JsonMembers {
public:
    JsonMembers();
    ~JsonMembers();
    JsonMembers(JsonMembers&&) noexcept;
    JsonMembers& operator=(JsonMembers&&) noexcept;

    JsonValue* Find(std::string_view name) const;
    void Set(std::string_view name, JsonPtr value);

    std::size_t size() const { return entries_.size(); }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

private:
    std::vector<std::pair<std::string, JsonPtr>> entries_;
    std::map<std::string, std::size_t, std::less<>> index_;
};

// One node: a kind and the payload that belongs to it. Build and read nodes
// through the operations below; the fields are open for walking a tree.
struct JsonValue {
    JsonKind kind = JsonKind::Null;
    int32_t integer = 0;
    double number = 0.0;
    std::string text;
    JsonMembers members;
    std::vector<JsonPtr> elements;
};

// Construction: each returns a new node owned by the caller.
JsonPtr NewObject();
JsonPtr NewArray();
JsonPtr NewString(std::string_view text);
JsonPtr NewInteger(int32_t value);
JsonPtr NewNumber(double value);
JsonPtr NewTrue();
JsonPtr NewFalse();
JsonPtr NewNull();

// Building. The value is moved into the parent. An absent value, or a parent
// that is absent or of another kind, leaves the parent unchanged.
void ObjectSet(JsonValue* object, std::string_view name, JsonPtr value);
void ArrayAppend(JsonValue* array, JsonPtr value);

// Reading. Every operation accepts an absent node and answers with its fallback.
const JsonValue* ObjectGet(const JsonValue* object, std::string_view name);
// -1 when `array` is absent or not an array.
int32_t ArraySize(const JsonValue* array);
const JsonValue* ArrayGet(const JsonValue* array, int32_t index);

// Typed getters: the payload, or `fallback` when the node is absent or of
// another kind. GetNumber also reads integer nodes, because the writer writes
// an integral number such as 2.0 as "2", which reads back as an integer;
// GetInteger reads number nodes rounded to the nearest integer and bounded to
// 32 bits, as other tools may write "10.0" where an integer is stored.
int32_t GetInteger(const JsonValue* node, int32_t fallback);
double GetNumber(const JsonValue* node, double fallback);
std::string GetString(const JsonValue* node, std::string_view fallback);

// The tree of `text`, or absent when the text does not begin with an object or
// array in JSON syntax, or nests deeper than kJsonMaxDepth. What follows the
// root value is not read. Strings take the JSON escapes (\uXXXX with
// surrogate pairs; a lone surrogate and U+0000 become U+FFFD); a backslash
// before any other character is kept with it. Line breaks and other control
// characters inside a string are taken as they stand.
inline constexpr int kJsonMaxDepth = 512;
JsonPtr Parse(std::string_view text);

// The text of a tree: an object starts on a new line, its members follow one
// per line indented by two more blanks; arrays stay on one line.
std::string ToText(const JsonValue* node, int indent);

// How a number node is written: fixed-point with 10 decimals, trailing zeros
// and a trailing "." removed. Does not depend on the locale.
std::string FormatJsonNumber(double value);

// File bytes decoded to UTF-8 by their byte-order mark: EF BB BF (UTF-8),
// FF FE (UTF-16 LE); without a mark UTF-8 when the bytes are valid UTF-8,
// else Windows-1252.
std::string DecodeJsonFileBytes(std::string_view bytes);

// Reads, decodes and parses a file; absent when it cannot be read or parsed.
JsonPtr Load(const std::filesystem::path& path);

// Writes the UTF-8 byte-order mark and ToText(root, 0) to the file, creating or
// truncating it. The tree is consumed either way; false when writing failed.
[[nodiscard]] bool Save(const std::filesystem::path& path, JsonPtr root);

}  // namespace tak
