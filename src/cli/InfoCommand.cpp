#include "cli/InfoCommand.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/AppContext.h"
#include "base/FileSystem.h"
#include "base/Language.h"
#include "cli/CliContext.h"
#include "cli/CliText.h"
#include "cli/ProjectInfo.h"
#include "mapdata/MapLoader.h"
#include "output/OutputTexts.h"
#include "persist/JSON.h"

namespace tak::cli {

namespace {

std::string DateText(DateValue date) {
    if (date == kNoDate) return "";
    CalendarDay day = DateToCalendar(date);
    char text[16];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", day.day, day.month, day.year);
    return text;
}

std::string PeriodText(const ChronoEvent& event) {
    return DateText(event.startDate) + " - " + DateText(event.endDate);
}

bool IsActive(const MapData& map, const ChronoEvent& event, DateValue date) {
    for (const ChronoEvent* active : ListChronoEvents(map, date)) {
        if (active == &event) return true;
    }
    return false;
}

// The trips grouped by line name, in the (sorted) order of the trip list.
std::vector<std::pair<std::string, std::vector<const Trip*>>> TripsByLine(const MapData& map) {
    std::vector<std::pair<std::string, std::vector<const Trip*>>> groups;
    for (const auto& trip : map.trips) {
        if (groups.empty() || groups.back().first != trip->lineName) groups.emplace_back(trip->lineName, std::vector<const Trip*>{});
        groups.back().second.push_back(trip.get());
    }
    return groups;
}

struct InfoContext {
    const CliOptions& options;
    const LanguageTable& lang;
    const MapData& map;
    std::string projectName;
    ProjectView project;
};

void PrintText(const InfoContext& info) {
    const LanguageTable& lang = info.lang;
    const MapData& map = info.map;
    std::printf("%s: %s\n", VisibleText(lang.Lang("MapDir")).c_str(), VisibleText(info.options.mapFolder).c_str());
    std::printf("%s: %s\n", VisibleText(lang.Lang("InfoProject")).c_str(), VisibleText(info.projectName).c_str());
    std::string date = info.options.date == kNoDate ? lang.Lang("InfoNoDate") : DateText(info.options.date);
    std::printf("%s: %s\n", VisibleText(lang.Lang("Date")).c_str(), VisibleText(date).c_str());

    std::printf("\n%s:\n", VisibleText(lang.Lang("InfoAllEvents")).c_str());
    if (map.chronoEvents.empty()) std::printf("  %s\n", VisibleText(lang.Lang("InfoNone")).c_str());
    for (const auto& event : map.chronoEvents) {
        bool active = IsActive(map, event, info.options.date);
        std::printf("  %s  (%s)%s\n", VisibleText(event.name).c_str(), VisibleText(PeriodText(event)).c_str(),
                    active ? VisibleText("  [" + lang.Lang("InfoActive") + "]").c_str() : "");
    }
    std::printf("\n%s:\n", VisibleText(lang.Lang("ChronoEvents")).c_str());
    auto active = ListChronoEvents(map, info.options.date);
    if (active.empty()) std::printf("  %s\n", VisibleText(lang.Lang("InfoNone")).c_str());
    for (const ChronoEvent* event : active) std::printf("  %s\n", VisibleText(event->name).c_str());

    std::printf("\n%s:\n", VisibleText(lang.Lang("LineTours")).c_str());
    for (const auto& line : map.lines) {
        std::printf("  %s\n", VisibleText(line->name).c_str());
        for (const auto& tour : line->tours) {
            std::printf("    %-24s %s (%zu)\n", VisibleText(tour.name).c_str(),
                        VisibleText(TourDaysText(lang, tour.days)).c_str(), tour.trips.size());
        }
    }
    std::printf("\n%s:\n", VisibleText(lang.Lang("LineTrips")).c_str());
    for (const auto& [lineName, trips] : TripsByLine(map)) {
        std::printf("  %s\n", VisibleText(lineName).c_str());
        for (const Trip* trip : trips) std::printf("    %s\n", VisibleText(trip->name).c_str());
    }

    MapCounts counts = CountMap(map);
    auto label = [&lang](const char* key) { return VisibleText(lang.Lang(key)); };
    std::printf("\n%s: %zu, %s: %zu, %s: %zu, %s: %zu, %s: %zu, %s: %zu\n", label("Stops").c_str(), counts.stops,
                label("InfoTrips").c_str(), counts.trips, label("InfoProfiles").c_str(), counts.profiles,
                label("InfoLines").c_str(), counts.lines, label("InfoTours").c_str(), counts.tours,
                label("InfoTourTrips").c_str(), counts.tourTrips);
    PrintProjectText(info.project);
}

JsonPtr EventJson(const MapData& map, const ChronoEvent& event, DateValue date) {
    JsonPtr object = NewObject();
    ObjectSet(object.get(), "folder", NewString(event.folder));
    ObjectSet(object.get(), "name", NewString(event.name));
    ObjectSet(object.get(), "startDate", NewString(DateText(event.startDate)));
    ObjectSet(object.get(), "endDate", NewString(DateText(event.endDate)));
    ObjectSet(object.get(), "active", IsActive(map, event, date) ? NewTrue() : NewFalse());
    JsonPtr lines = NewArray();
    for (const auto& name : event.deactivatedLines) ArrayAppend(lines.get(), NewString(name));
    ObjectSet(object.get(), "deactivatedLines", std::move(lines));
    return object;
}

JsonPtr LineToursJson(const InfoContext& info) {
    JsonPtr lines = NewArray();
    for (const auto& line : info.map.lines) {
        JsonPtr object = NewObject();
        ObjectSet(object.get(), "line", NewString(line->name));
        JsonPtr tours = NewArray();
        for (const auto& tour : line->tours) {
            JsonPtr tourObject = NewObject();
            ObjectSet(tourObject.get(), "name", NewString(tour.name));
            ObjectSet(tourObject.get(), "days", NewInteger(static_cast<int32_t>(tour.days)));
            ObjectSet(tourObject.get(), "daysText", NewString(TourDaysText(info.lang, tour.days)));
            ObjectSet(tourObject.get(), "tourTrips", NewInteger(static_cast<int32_t>(tour.trips.size())));
            ArrayAppend(tours.get(), std::move(tourObject));
        }
        ObjectSet(object.get(), "tours", std::move(tours));
        ArrayAppend(lines.get(), std::move(object));
    }
    return lines;
}

JsonPtr LineTripsJson(const MapData& map) {
    JsonPtr lines = NewArray();
    for (const auto& [lineName, trips] : TripsByLine(map)) {
        JsonPtr object = NewObject();
        ObjectSet(object.get(), "line", NewString(lineName));
        JsonPtr names = NewArray();
        for (const Trip* trip : trips) ArrayAppend(names.get(), NewString(trip->name));
        ObjectSet(object.get(), "trips", std::move(names));
        ArrayAppend(lines.get(), std::move(object));
    }
    return lines;
}

void PrintJson(const InfoContext& info) {
    const MapData& map = info.map;
    MapCounts counts = CountMap(map);
    auto count = [](std::size_t value) { return NewInteger(static_cast<int32_t>(value)); };
    JsonPtr root = NewObject();
    JsonValue* r = root.get();
    ObjectSet(r, "mapFolder", NewString(info.options.mapFolder));
    ObjectSet(r, "projectName", NewString(info.projectName));
    ObjectSet(r, "date", info.options.date == kNoDate ? NewNull() : NewString(DateText(info.options.date)));
    ObjectSet(r, "stops", count(counts.stops));
    ObjectSet(r, "trips", count(counts.trips));
    ObjectSet(r, "profiles", count(counts.profiles));
    ObjectSet(r, "lines", count(counts.lines));
    ObjectSet(r, "tours", count(counts.tours));
    ObjectSet(r, "tourTrips", count(counts.tourTrips));
    ObjectSet(r, "chronoEvents", count(map.chronoEvents.size()));
    auto active = ListChronoEvents(map, info.options.date);
    ObjectSet(r, "activeChronoEvents", count(active.size()));
    JsonPtr events = NewArray();
    for (const auto& event : map.chronoEvents) ArrayAppend(events.get(), EventJson(map, event, info.options.date));
    ObjectSet(r, "chronoEventList", std::move(events));
    ObjectSet(r, "lineTours", LineToursJson(info));
    ObjectSet(r, "lineTrips", LineTripsJson(map));
    AddProjectJson(*r, info.project);
    std::printf("%s\n", StandardJsonText(*r).c_str());
}

}  // namespace

int RunInfo(const CliOptions& options, const char* argv0) {
    AppContext context;
    ProjectLoadResult load;
    if (!LoadCliLanguage(options, argv0, context)) return 2;
    if (!LoadCliContext(options, context, load)) return 1;
    const LanguageTable& lang = context.language;
    fs::path projectFile = ProjectFilePath(context);
    InfoContext info{options, lang, *context.map, context.projectName,
                     ProjectView{context.project, load, projectFile, lang}};
    if (options.json) {
        PrintJson(info);
    } else {
        PrintText(info);
    }
    return 0;
}

}  // namespace tak::cli
