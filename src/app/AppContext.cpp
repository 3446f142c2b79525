#include "app/AppContext.h"

namespace tak {

std::filesystem::path ProjectFilePath(const AppContext& context) {
    return ProjectFilePath(context.workingFolder, context.projectName);
}

ProjectLoadResult LoadProjectFile(AppContext& context) {
    ProjectLoadResult result = LoadProject(context.project, context.map, ProjectFilePath(context));
    if (result.routeMapNeedsLayout && context.layoutRouteMap) context.layoutRouteMap(context.project.routeMap);
    return result;
}

bool SaveProjectFile(AppContext& context) { return SaveProject(context.project, ProjectFilePath(context)); }

}  // namespace tak
