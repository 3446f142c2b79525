// Feeds arbitrary bytes to the persistence readers: the JSON file decoding and
// parser, and the language file reader. Whatever parses must survive a write
// and a second read unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/Language.h"
#include "persist/JSON.h"

namespace {

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
    }

    tak::LanguageTable table;
    if (table.LoadFromBytes(bytes) && table.Size() == 0) std::abort();
    return 0;
}
