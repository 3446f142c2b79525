// The list of plans of one kind as a plan window edits it: the names in list
// order, removing a plan and moving one a place up or down, each telling
// which plan is selected afterwards. The timetable plans and the stop tables
// are both kept in a std::vector; one PlanList reaches either.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/Language.h"

namespace tak {

class PlanList {
public:
    // Works on `plans`, which must outlive the list.
    template <typename Plan>
    explicit PlanList(std::vector<Plan>& plans)
        : count_([&plans] { return plans.size(); }),
          name_([&plans](std::size_t index) -> const std::string& { return plans[index].name; }),
          erase_([&plans](std::size_t index) { plans.erase(plans.begin() + static_cast<std::ptrdiff_t>(index)); }),
          swap_([&plans](std::size_t a, std::size_t b) { std::swap(plans[a], plans[b]); }) {}

    std::size_t Count() const { return count_(); }
    // The name of the plan at `index`, which must be below Count().
    const std::string& Name(std::size_t index) const { return name_(index); }

    // Removes the plan at `index` and returns the plan to select then: the
    // one now at the same place, else the one before it; none when the list
    // is empty now or there was no plan at `index`.
    std::optional<std::size_t> Remove(std::size_t index);
    // Swaps the plan at `index` with its neighbour (`step` -1 above, +1
    // below) and returns where it is now; none when there is no such plan or
    // no neighbour on that side.
    std::optional<std::size_t> Move(std::size_t index, int step);

private:
    std::function<std::size_t()> count_;
    std::function<const std::string&(std::size_t)> name_;
    std::function<void(std::size_t)> erase_;
    std::function<void(std::size_t, std::size_t)> swap_;
};

// How a plan list shows a plan's name: an empty name as "<" + Lang("NoName")
// + ">", so that the plan still has a row one can see and click.
std::string PlanListText(const std::string& name, const LanguageTable& language);

}  // namespace tak
