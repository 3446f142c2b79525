#include "app/AppContext.h"

#include "base/FileSystem.h"
#include "mapdata/MapLoader.h"

namespace tak {

std::filesystem::path ProjectFilePath(const AppContext& context) {
    return ProjectFilePath(context.workingFolder, context.projectName);
}

ProjectLoadResult LoadProjectFile(AppContext& context) {
    // Without a loaded map there is no project file: the project is only reset.
    std::filesystem::path file = context.projectName.empty() ? std::filesystem::path() : ProjectFilePath(context);
    ProjectLoadResult result = LoadProject(context.project, *context.map, file);
    context.projectLoad = result;
    if (context.projectChanged) context.projectChanged();
    return result;
}

bool LoadMapAndProject(AppContext& context, const std::filesystem::path& mapFolder, DateValue date,
                       MapCheckRecord* record) {
    auto map = std::make_shared<MapData>();
    bool found = LoadMap(*map, mapFolder, date, context.language.Lang("LangShort"), record);
    SortTripsByLineName(*map);
    context.map = std::move(map);
    context.projectName = ProjectNameFor(mapFolder, date);
    LoadProjectFile(context);
    return found;
}

std::filesystem::path OutputFolder(const AppContext& context) {
    return context.workingFolder / "output" / PathFromText(context.projectName);
}

OutputSource OutputSourceOf(const AppContext& context) {
    bool unreadable = context.projectLoad.fileFound && !context.projectLoad.parsed;
    return OutputSource{context.map, context.project, context.language, unreadable, ProjectFilePath(context),
                        OutputFolder(context)};
}

int RunOutput(const AppContext& context, OutputRunControl& control, OutputLog& log) {
    return RunOutput(OutputSourceOf(context), control, log);
}

bool SaveProjectFile(AppContext& context) {
    if (context.projectName.empty()) return false;
    if (!SaveProject(context.project, ProjectFilePath(context))) return false;
    context.projectLoad.fileFound = true;
    context.projectLoad.parsed = true;
    if (context.projectChanged) context.projectChanged();
    return true;
}

bool ProjectFileIsBroken(const AppContext& context) {
    return !context.projectName.empty() && context.projectLoad.fileFound && !context.projectLoad.parsed;
}

}  // namespace tak
