#include "project/PlanList.h"

namespace tak {

std::optional<std::size_t> PlanList::Remove(std::size_t index) {
    if (index >= Count()) return std::nullopt;
    erase_(index);
    std::size_t left = Count();
    if (left == 0) return std::nullopt;
    return index < left ? index : left - 1;
}

std::optional<std::size_t> PlanList::Move(std::size_t index, int step) {
    if (index >= Count() || (step != -1 && step != 1)) return std::nullopt;
    if (step < 0 && index == 0) return std::nullopt;
    std::size_t other = step < 0 ? index - 1 : index + 1;
    if (other >= Count()) return std::nullopt;
    swap_(index, other);
    return other;
}

std::string PlanListText(const std::string& name, const LanguageTable& language) {
    if (!name.empty()) return name;
    std::string text = "<";
    text += language.Lang("NoName");
    text += '>';
    return text;
}

}  // namespace tak
