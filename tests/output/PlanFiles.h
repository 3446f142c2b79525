// Plans written as the output run writes them: a document begun, the plan
// drawn into it and saved under its file name into a folder.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "output/OutputDocument.h"
#include "output/OutputTimetableWriter.h"
#include "output/OutputTourPlan.h"

namespace tak::test {

// False when the document could not be begun or saved (an invalid name).
inline bool WritePlanFile(DocumentFormat format, const std::filesystem::path& folder, const std::string& fileName,
                          const std::function<void(DocumentTarget&)>& draw) {
    DocumentTarget target;
    if (!BeginDocument(target, format)) return false;
    draw(target);
    return SaveDocument(target, folder, fileName);
}

inline bool WriteTimetableFile(DocumentFormat format, const std::filesystem::path& folder,
                               const TimetableWriteInput& input) {
    return WritePlanFile(format, folder, TimetableFileName(input.lang, input.plan, DocumentExtension(format)),
                         [&input](DocumentTarget& target) { DrawTimetable(target, input); });
}

inline bool WriteTourPlanFile(DocumentFormat format, const std::filesystem::path& folder,
                              const TourPlanWriteInput& input) {
    return WritePlanFile(format, folder, TourPlanFileName(input.lang, input.plan, DocumentExtension(format)),
                         [&input](DocumentTarget& target) { DrawTourPlan(target, input); });
}

}  // namespace tak::test
