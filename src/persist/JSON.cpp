// JSON nodes, getters, the writer and file access. The parser lives in
// JSONParse.cpp.
#include "persist/JSON.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "base/FileSystem.h"
#include "base/Text.h"

namespace tak {

JsonMembers::JsonMembers() = default;
JsonMembers::~JsonMembers() = default;
JsonMembers::JsonMembers(JsonMembers&&) noexcept = default;
JsonMembers& JsonMembers::operator=(JsonMembers&&) noexcept = default;

namespace {

// Objects of the program's files have a few members; a plain scan finds
// them faster than a lookup table. Larger objects (only a hand-made file
// has thousands) get the table, so reading stays linear in the text.
constexpr std::size_t kIndexedMembers = 16;

}  // namespace

JsonValue* JsonMembers::Find(std::string_view name) const {
    if (entries_.size() < kIndexedMembers) {
        for (const auto& [member, value] : entries_) {
            if (member == name) return value.get();
        }
        return nullptr;
    }
    auto it = index_.find(name);
    return it == index_.end() ? nullptr : entries_[it->second].second.get();
}

void JsonMembers::Set(std::string_view name, JsonPtr value) {
    if (entries_.size() < kIndexedMembers) {
        for (auto& [member, old] : entries_) {
            if (member != name) continue;
            old = std::move(value);
            return;
        }
    } else if (auto it = index_.find(name); it != index_.end()) {
        entries_[it->second].second = std::move(value);
        return;
    }
    entries_.emplace_back(std::string(name), std::move(value));
    if (entries_.size() == kIndexedMembers) {
        for (std::size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].first, i);
    } else if (entries_.size() > kIndexedMembers) {
        index_.emplace(entries_.back().first, entries_.size() - 1);
    }
}

namespace {

JsonPtr NewOfKind(JsonKind kind) {
    auto node = std::make_unique<JsonValue>();
    node->kind = kind;
    return node;
}

bool IsKind(const JsonValue* node, JsonKind kind) { return node != nullptr && node->kind == kind; }

}  // namespace

JsonPtr NewObject() { return NewOfKind(JsonKind::Object); }
JsonPtr NewArray() { return NewOfKind(JsonKind::Array); }
JsonPtr NewTrue() { return NewOfKind(JsonKind::True); }
JsonPtr NewFalse() { return NewOfKind(JsonKind::False); }
JsonPtr NewNull() { return NewOfKind(JsonKind::Null); }

JsonPtr NewString(std::string_view text) {
    auto node = NewOfKind(JsonKind::String);
    node->text = std::string(text);
    return node;
}

JsonPtr NewInteger(int32_t value) {
    auto node = NewOfKind(JsonKind::Integer);
    node->integer = value;
    return node;
}

JsonPtr NewNumber(double value) {
    auto node = NewOfKind(JsonKind::Number);
    node->number = value;
    return node;
}

void ObjectSet(JsonValue* object, std::string_view name, JsonPtr value) {
    if (!IsKind(object, JsonKind::Object) || !value) return;
    object->members.Set(name, std::move(value));
}

void ArrayAppend(JsonValue* array, JsonPtr value) {
    if (!IsKind(array, JsonKind::Array) || !value) return;
    array->elements.push_back(std::move(value));
}

const JsonValue* ObjectGet(const JsonValue* object, std::string_view name) {
    return IsKind(object, JsonKind::Object) ? object->members.Find(name) : nullptr;
}

int32_t ArraySize(const JsonValue* array) {
    if (!IsKind(array, JsonKind::Array)) return -1;
    return static_cast<int32_t>(array->elements.size());
}

const JsonValue* ArrayGet(const JsonValue* array, int32_t index) {
    if (index < 0 || index >= ArraySize(array)) return nullptr;
    return array->elements[static_cast<std::size_t>(index)].get();
}

int32_t GetInteger(const JsonValue* node, int32_t fallback) {
    if (IsKind(node, JsonKind::Integer)) return node->integer;
    if (!IsKind(node, JsonKind::Number)) return fallback;
    // Other tools write whole numbers as "10.0" or "1e2".
    double rounded = std::nearbyint(node->number);
    if (rounded >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (rounded <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(rounded);
}

double GetNumber(const JsonValue* node, double fallback) {
    if (IsKind(node, JsonKind::Number)) return node->number;
    if (IsKind(node, JsonKind::Integer)) return node->integer;
    return fallback;
}

std::string GetString(const JsonValue* node, std::string_view fallback) {
    return IsKind(node, JsonKind::String) ? node->text : std::string(fallback);
}

std::string FormatJsonNumber(double value) {
    // A value the parser cannot read back would make the whole file unreadable.
    if (!std::isfinite(value)) return "null";
    char buffer[400];  // the largest double has 309 integral digits
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 10);
    std::string text(buffer, result.ptr);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    if (text == "-0") text = "0";
    return text;
}

namespace {

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

void AppendText(std::string& out, const JsonValue& node, int indent);

void AppendObject(std::string& out, const JsonValue& node, int indent) {
    out += '\n';
    out.append(static_cast<std::size_t>(indent), ' ');
    out += "{\n";
    bool first = true;
    for (const auto& [name, value] : node.members) {
        if (!first) out += ", \n";
        first = false;
        out.append(static_cast<std::size_t>(indent) + 2, ' ');
        // Names are escaped like strings so that any name reads back; the
        // program's own names contain neither quotes nor backslashes.
        AppendQuoted(out, name);
        out += ": ";
        AppendText(out, *value, indent + 2);
    }
    out += '\n';
    out.append(static_cast<std::size_t>(indent), ' ');
    out += '}';
}

void AppendArray(std::string& out, const JsonValue& node, int indent) {
    out += '[';
    bool first = true;
    for (const auto& element : node.elements) {
        if (!first) out += ", ";
        first = false;
        AppendText(out, *element, indent);
    }
    out += ']';
}

void AppendText(std::string& out, const JsonValue& node, int indent) {
    switch (node.kind) {
        case JsonKind::Null: out += "null"; break;
        case JsonKind::True: out += "true"; break;
        case JsonKind::False: out += "false"; break;
        case JsonKind::Integer: out += std::to_string(node.integer); break;
        case JsonKind::Number: out += FormatJsonNumber(node.number); break;
        case JsonKind::String: AppendQuoted(out, node.text); break;
        case JsonKind::Object: AppendObject(out, node, indent); break;
        case JsonKind::Array: AppendArray(out, node, indent); break;
    }
}

std::string DecodeUtf16Le(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    auto unitAt = [&](std::size_t i) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            char32_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        // An unpaired surrogate cannot be encoded in UTF-8.
        AppendUtf8(out, (unit >= 0xD800 && unit <= 0xDFFF) ? 0xFFFD : unit);
    }
    return out;
}

}  // namespace

std::string ToText(const JsonValue* node, int indent) {
    std::string out;
    if (node) AppendText(out, *node, indent);
    return out;
}

std::string DecodeJsonFileBytes(std::string_view bytes) {
    // A hand-edited file may hold bytes that are no UTF-8 after its mark;
    // they would go on into file names and the log.
    if (bytes.starts_with("\xEF\xBB\xBF")) return ValidUtf8(bytes.substr(3));
    if (bytes.starts_with("\xFF\xFE")) return DecodeUtf16Le(bytes.substr(2));
    return DecodeUnmarkedText(bytes);
}

JsonPtr Load(const std::filesystem::path& path) {
    auto bytes = ReadFileBytes(path);
    if (!bytes) return nullptr;
    return Parse(DecodeJsonFileBytes(*bytes));
}

bool Save(const std::filesystem::path& path, JsonPtr root) {
    std::string text = "\xEF\xBB\xBF" + ToText(root.get(), 0);
    root.reset();
    return WriteFileBytes(path, text);
}

}  // namespace tak
