// Small builders for the texts of simulator timetable files, so that a test
// states only what matters to it.
#pragma once

#include <string>
#include <vector>

namespace tak::test {

inline std::string StopListFile(const std::vector<std::pair<std::string, int>>& stops) {
    std::string text = "Stop list\r\n\r\n";
    for (const auto& [name, id] : stops) {
        text += "[busstop]\r\n" + name + "\r\n0\r\n" + std::to_string(id) + "\r\n80.0\r\n\r\n";
    }
    return text;
}

inline std::string TripHeader(const std::string& lineName) {
    return "Trip file\r\n\r\n[trip]\r\n\r\nsome description\r\n" + lineName + "\r\n\r\n";
}

inline std::string StationsTyp2(const std::vector<int>& ids) {
    std::string text;
    for (int id : ids) text += "[station_typ2]\r\n" + std::to_string(id) + "\r\n\r\n";
    return text;
}

inline std::string Profile(const std::string& name, const std::string& minutes) {
    return "[profile]\r\n" + name + "\r\n" + minutes + "\r\n";
}

inline std::string TimeSection(const std::string& kind, int index, const std::string& value) {
    return "[" + kind + "]\r\n" + std::to_string(index) + "\r\n" + value + "\r\n";
}

struct TourTripText {
    std::string trip;
    int profile;
    std::string startMinutes;
};

inline std::string Tour(const std::string& name, int days, const std::vector<TourTripText>& trips) {
    std::string text = "[newtour]\r\n" + name + "\r\nDepot\r\n" + std::to_string(days) + "\r\n\r\n";
    for (const auto& trip : trips) {
        text += "[addtrip]\r\n" + trip.trip + "\r\n" + std::to_string(trip.profile) + "\r\n" +
                trip.startMinutes + "\r\n\r\n";
    }
    return text;
}

}  // namespace tak::test
