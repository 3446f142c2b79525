// Feeds arbitrary bytes to the persistence readers: the JSON file decoding and
// parser, and the language file reader. Whatever parses must survive a write
// and a second read unchanged, also when another JSON tool wrote it in the
// standard form with escapes (the reader's standard-JSON path).
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/Language.h"
#include "base/Text.h"
#include "persist/JSON.h"

namespace {

void AppendUnit(std::string& out, uint32_t unit) {
    char text[16];
    std::snprintf(text, sizeof text, "\\u%04x", unit);
    out += text;
}

// A string as other JSON tools write it: every character beyond ASCII as a
// \u escape (a surrogate pair beyond the basic plane), control characters
// escaped. NUL stays raw: the reader reads an escaped one as U+FFFD.
void AppendStandardString(std::string& out, std::string_view text) {
    out += '"';
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t c = tak::NextCodePoint(text, pos);
        if (c == '"' || c == '\\' || c == '/') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == 0) {
            out += '\0';
        } else if (c >= 0x10000) {
            AppendUnit(out, 0xD800 + ((c - 0x10000) >> 10));
            AppendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
        } else if (c < 0x20 || c >= 0x7F) {
            AppendUnit(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

// The tree on one line, numbers in their shortest floating-point form ("12.0", "1e-05").
void AppendStandard(std::string& out, const tak::JsonValue& node) {
    char number[64];
    switch (node.kind) {
        case tak::JsonKind::Null: out += "null"; break;
        case tak::JsonKind::True: out += "true"; break;
        case tak::JsonKind::False: out += "false"; break;
        case tak::JsonKind::Integer:
            out += std::to_string(node.integer) + ".0";
            break;
        case tak::JsonKind::Number:
            out.append(number, std::to_chars(number, number + sizeof number, node.number).ptr);
            break;
        case tak::JsonKind::String: AppendStandardString(out, node.text); break;
        case tak::JsonKind::Object: {
            out += '{';
            const char* separator = "";
            for (const auto& [name, value] : node.members) {
                out += separator;
                separator = ",";
                AppendStandardString(out, name);
                out += ':';
                AppendStandard(out, *value);
            }
            out += '}';
            break;
        }
        case tak::JsonKind::Array: {
            out += '[';
            for (std::size_t i = 0; i < node.elements.size(); ++i) {
                if (i > 0) out += ',';
                AppendStandard(out, *node.elements[i]);
            }
            out += ']';
            break;
        }
    }
}

// Reads every node the way the persistence code does, with getters of every kind.
void ReadAll(const tak::JsonValue* node) {
    volatile int32_t sink = tak::GetInteger(node, 0) + static_cast<int32_t>(tak::GetString(node, "").size());
    (void)sink;
    volatile double number = tak::GetNumber(node, 0.0);
    (void)number;
    for (int32_t i = 0, n = tak::ArraySize(node); i < n; ++i) ReadAll(tak::ArrayGet(node, i));
    if (node && node->kind == tak::JsonKind::Object) {
        for (const auto& [name, value] : node->members) {
            if (tak::ObjectGet(node, name) != value.get()) std::abort();
            ReadAll(value.get());
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);

    tak::JsonPtr root = tak::Parse(tak::DecodeJsonFileBytes(bytes));
    if (root) {
        ReadAll(root.get());
        std::string written = tak::ToText(root.get(), 0);
        tak::JsonPtr again = tak::Parse(written);
        if (!again || tak::ToText(again.get(), 0) != written) std::abort();
        std::string standard;
        AppendStandard(standard, *root);
        tak::JsonPtr foreign = tak::Parse(standard);
        if (!foreign || tak::ToText(foreign.get(), 0) != written) std::abort();
    }

    tak::LanguageTable table;
    if (table.LoadFromBytes(bytes) && table.Size() == 0) std::abort();
    return 0;
}
