// The project part of "taktarium-cli info": the plans of the project file in
// a compact text form and as JSON members.
#pragma once

#include <filesystem>

#include "base/Language.h"
#include "persist/JSON.h"
#include "persist/ProjectFile.h"

namespace tak::cli {

struct ProjectView {
    const Project& project;
    const ProjectLoadResult& load;
    const std::filesystem::path& file;
    const LanguageTable& lang;
};

void PrintProjectText(const ProjectView& view);

// Adds "projectFile", "timeTablePlans", "tourPlans", "stopTables",
// "routeSpiders" and "routeMap" to `root`.
void AddProjectJson(JsonValue& root, const ProjectView& view);

}  // namespace tak::cli
