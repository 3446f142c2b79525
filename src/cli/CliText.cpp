#include "cli/CliText.h"

#include <cstdio>

namespace tak::cli {

namespace {

std::string Hex(const char* format, unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The length of a C1 control at `pos` in UTF-8 (C2 80 ... C2 9F), else 0.
std::size_t C1ControlAt(std::string_view text, std::size_t pos) {
    if (pos + 1 >= text.size() || static_cast<unsigned char>(text[pos]) != 0xC2) return 0;
    auto next = static_cast<unsigned char>(text[pos + 1]);
    return next >= 0x80 && next <= 0x9F ? 2 : 0;
}

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (std::size_t c1 = C1ControlAt(text, i)) {
            out += Hex("\\u%04x", static_cast<unsigned char>(text[i + 1]));
            i += c1 - 1;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += Hex("\\u%04x", c);
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

void AppendJson(std::string& out, const JsonValue& node, int indent) {
    switch (node.kind) {
        case JsonKind::String: AppendJsonString(out, node.text); break;
        case JsonKind::Object: {
            out += "{\n";
            bool first = true;
            for (const auto& [name, value] : node.members) {
                if (!first) out += ",\n";
                first = false;
                out.append(static_cast<std::size_t>(indent) + 2, ' ');
                AppendJsonString(out, name);
                out += ": ";
                AppendJson(out, *value, indent + 2);
            }
            out += '\n';
            out.append(static_cast<std::size_t>(indent), ' ');
            out += '}';
            break;
        }
        case JsonKind::Array: {
            out += '[';
            bool first = true;
            for (const auto& element : node.elements) {
                if (!first) out += ", ";
                first = false;
                AppendJson(out, *element, indent);
            }
            out += ']';
            break;
        }
        default: out += ToText(&node, indent); break;  // null, true, false and numbers
    }
}

}  // namespace

std::string VisibleText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (std::size_t c1 = C1ControlAt(text, i)) {
            out += Hex("\\u%04X", static_cast<unsigned char>(text[i + 1]));
            i += c1 - 1;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += Hex("\\x%02X", c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string VisibleLines(std::string_view text) {
    std::string out;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find('\n', start);
        out += VisibleText(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return out;
        out += '\n';
        start = end + 1;
    }
}

std::string StandardJsonText(const JsonValue& node) {
    std::string out;
    AppendJson(out, node, 0);
    return out;
}

}  // namespace tak::cli
