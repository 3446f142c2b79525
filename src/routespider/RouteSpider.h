// Route spiders: named diagrams of a line's course as passengers read it on
// printed timetables and stop tables. A spider has a main way (its first way)
// and alternative ways that branch off a stop of an earlier way and may join
// one again; each stop carries its travel time and interchange notes.
//
// References. Plans refer to a spider, and a way's branch and join points
// refer to stops of earlier ways. Both are held as keys, not as pointers or
// positions: a key is handed out once by its owner's counter and never
// reused, so deleting, moving or inserting spiders, ways or stops can never
// leave a reference pointing at the wrong record. A key whose record is gone
// simply resolves to nothing (kNoSpider / kNoSpiderStop), which every reader
// treats as "none". Stations are plain pointers into MapData and are rebuilt
// by loading the project file after every map load.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mapdata/MapData.h"

namespace tak {

using RouteSpiderKey = uint32_t;
using SpiderStopKey = uint32_t;
constexpr RouteSpiderKey kNoSpider = 0;
constexpr SpiderStopKey kNoSpiderStop = 0;

// How the travel times are printed.
enum SpiderTravelDisplay : int32_t {
    kTravelNotShown = 0,
    kTravelOnTop = 1,
    kTravelBeneath = 2,
};

struct SpiderStop {
    SpiderStopKey key = kNoSpiderStop;
    const TripStation* station = nullptr;  // never null for a stop of a loaded spider
    std::string name;
    int32_t travelTime = 0;  // whole minutes from the previous stop of the way
    bool important = false;
    std::string changes;  // interchanges; line breaks are CR LF
    bool operator==(const SpiderStop&) const = default;
};

struct SpiderWay {
    SpiderStopKey begin = kNoSpiderStop;  // branch point on an earlier way
    SpiderStopKey end = kNoSpiderStop;    // join point on an earlier way
    std::vector<SpiderStop> stops;        // without the begin and end stops
    bool operator==(const SpiderWay&) const = default;
};

struct RouteSpider {
    RouteSpiderKey key = kNoSpider;
    std::string name;
    int32_t displayTravel = kTravelNotShown;
    std::vector<SpiderWay> ways;  // ways[0] is the main way
    SpiderStopKey nextStopKey = 1;
    bool operator==(const RouteSpider&) const = default;
};

// Where a stop key points: way and stop positions within one spider.
struct SpiderStopPlace {
    std::size_t way = 0;
    std::size_t stop = 0;
};

// The project's spiders in list order, and the counter that hands out their keys.
struct RouteSpiderList {
    std::vector<RouteSpider> spiders;
    RouteSpiderKey nextKey = 1;
};

// Appends a spider with the given name and one empty main way (as the editor
// creates them); when `withMainWay` is false it has no ways (as read from a file).
RouteSpider& AddRouteSpider(RouteSpiderList& list, std::string name, bool withMainWay = true);

// The first spider with exactly that name, or null.
const RouteSpider* SpiderForPlan(const RouteSpiderList& list, std::string_view name);

// The spider with that key, or null (also for kNoSpider).
const RouteSpider* FindRouteSpider(const RouteSpiderList& list, RouteSpiderKey key);
RouteSpider* FindRouteSpider(RouteSpiderList& list, RouteSpiderKey key);

// The stop with that key, searching all ways of the spider; null when none.
const SpiderStop* FindSpiderStop(const RouteSpider& spider, SpiderStopKey key);
std::optional<SpiderStopPlace> LocateSpiderStop(const RouteSpider& spider, SpiderStopKey key);

// A new stop for `station` inserted into way `way` after position `after`
// (at the end when `after` is empty or past the end). Its name is the
// station's name, its travel time 0. Null when the way does not exist.
SpiderStop* AddSpiderStop(RouteSpider& spider, std::size_t way, const TripStation& station,
                          std::optional<std::size_t> after = std::nullopt);

// Appends the stations of `trip` to way `way`: stations already on an earlier
// way are skipped at the start (the last of them becomes the branch point);
// new stations get the rounded minutes from the stop before them (the branch
// point for the first one), by the trip's times averaged over its profiles;
// the first station that meets an earlier way again becomes the join point
// and ends the import.
void ImportTrip(RouteSpider& spider, std::size_t way, const Trip& trip);

// Removes stop `stop` of way `way` and clears every branch or join point of
// the spider that referred to it. False when the positions do not exist.
bool RemoveSpiderStop(RouteSpider& spider, std::size_t way, std::size_t stop);

// Removes the alternative ways at the given positions (the main way, position
// 0, is never removed) and clears every branch or join point that referred to
// a stop of a removed way. Returns how many ways were removed.
std::size_t RemoveSpiderWays(RouteSpider& spider, std::vector<std::size_t> ways);

// Clears every branch or join point that does not lie on an earlier way (after
// ways were reordered), as the stored form can only refer to earlier ways.
void ClearLinksToLaterWays(RouteSpider& spider);

// Plans keep a spider key; after the spider list was read anew, this maps a
// plan's old key to the first new spider carrying the old spider's name.
// `oldNames` holds the names of the spiders before reloading, by old key.
struct SpiderNameOfKey {
    RouteSpiderKey key = kNoSpider;
    std::string name;
};
RouteSpiderKey RelinkSpiderKey(const RouteSpiderList& list, const std::vector<SpiderNameOfKey>& oldNames,
                               RouteSpiderKey oldKey);

}  // namespace tak
