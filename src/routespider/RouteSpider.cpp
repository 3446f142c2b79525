#include "routespider/RouteSpider.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <utility>

namespace tak {

RouteSpider& AddRouteSpider(RouteSpiderList& list, std::string name, bool withMainWay) {
    RouteSpider& spider = list.spiders.emplace_back();
    spider.key = list.nextKey++;
    spider.name = std::move(name);
    if (withMainWay) spider.ways.emplace_back();
    return spider;
}

const RouteSpider* SpiderForPlan(const RouteSpiderList& list, std::string_view name) {
    for (const auto& spider : list.spiders) {
        if (spider.name == name) return &spider;
    }
    return nullptr;
}

const RouteSpider* FindRouteSpider(const RouteSpiderList& list, RouteSpiderKey key) {
    if (key == kNoSpider) return nullptr;
    for (const auto& spider : list.spiders) {
        if (spider.key == key) return &spider;
    }
    return nullptr;
}

RouteSpider* FindRouteSpider(RouteSpiderList& list, RouteSpiderKey key) {
    return const_cast<RouteSpider*>(FindRouteSpider(std::as_const(list), key));
}

std::optional<SpiderStopPlace> LocateSpiderStop(const RouteSpider& spider, SpiderStopKey key) {
    if (key == kNoSpiderStop) return std::nullopt;
    for (std::size_t w = 0; w < spider.ways.size(); ++w) {
        const auto& stops = spider.ways[w].stops;
        for (std::size_t s = 0; s < stops.size(); ++s) {
            if (stops[s].key == key) return SpiderStopPlace{w, s};
        }
    }
    return std::nullopt;
}

const SpiderStop* FindSpiderStop(const RouteSpider& spider, SpiderStopKey key) {
    auto place = LocateSpiderStop(spider, key);
    return place ? &spider.ways[place->way].stops[place->stop] : nullptr;
}

SpiderStop* AddSpiderStop(RouteSpider& spider, std::size_t way, const TripStation& station,
                          std::optional<std::size_t> after) {
    if (way >= spider.ways.size()) return nullptr;
    auto& stops = spider.ways[way].stops;
    std::size_t position = (after && *after < stops.size()) ? *after + 1 : stops.size();
    SpiderStop stop;
    stop.key = spider.nextStopKey++;
    stop.station = &station;
    stop.name = station.name;
    auto inserted = stops.insert(stops.begin() + static_cast<std::ptrdiff_t>(position), std::move(stop));
    return &*inserted;
}

namespace {

// Seconds after the trip's start at every station, averaged over all profiles:
// a station's arrival, else its departure (estimated between its neighbours
// when the profile gives neither), else what the profile had at the station
// before. A trip without profiles gives 0 everywhere.
std::vector<int32_t> AverageStationTimes(const Trip& trip) {
    std::vector<int64_t> sums(trip.stations.size(), 0);
    for (const auto& profile : trip.profiles) {
        int64_t last = 0;
        std::vector<StationTime> times = EstimatedStationTimes(profile, trip.stations.size());
        for (std::size_t i = 0; i < trip.stations.size(); ++i) {
            const StationTime& time = times[i];
            if (time.arrival != TimeUnset) {
                last = time.arrival;
            } else if (time.departure != TimeUnset) {
                last = time.departure;
            }
            sums[i] += last;
        }
    }
    std::vector<int32_t> averages(sums.size(), 0);
    if (trip.profiles.empty()) return averages;
    auto count = static_cast<int64_t>(trip.profiles.size());
    for (std::size_t i = 0; i < sums.size(); ++i) averages[i] = static_cast<int32_t>(sums[i] / count);
    return averages;
}

// The stop for this stop id on the ways before `way`, nearest way first.
const SpiderStop* FindOnEarlierWay(const RouteSpider& spider, std::size_t way, int32_t stopId) {
    for (std::size_t w = way; w-- > 0;) {
        for (const auto& stop : spider.ways[w].stops) {
            if (stop.station && stop.station->id == stopId) return &stop;
        }
    }
    return nullptr;
}

}  // namespace

void ImportTrip(RouteSpider& spider, std::size_t way, const Trip& trip) {
    if (way >= spider.ways.size()) return;
    std::vector<int32_t> averages = AverageStationTimes(trip);
    // The trip's own time at the stop before: the branch point while leading
    // stations are skipped, else the stop added last. Measuring from the
    // branch point's time in this trip, and not from the earlier way's
    // minutes summed up to it, keeps the minutes right for a trip that joins
    // the earlier way somewhere after its first stop.
    int64_t previousTime = 0;
    bool started = false;
    for (std::size_t i = 0; i < trip.stations.size(); ++i) {
        const TripStation& station = trip.stations[i];
        if (const SpiderStop* known = FindOnEarlierWay(spider, way, station.id)) {
            if (started) {
                spider.ways[way].end = known->key;
                return;
            }
            spider.ways[way].begin = known->key;
            previousTime = averages[i];
            continue;
        }
        started = true;
        SpiderStop* added = AddSpiderStop(spider, way, station);
        if (trip.profiles.empty()) continue;
        int64_t delta = std::clamp<int64_t>(averages[i] - previousTime, std::numeric_limits<int32_t>::min(),
                                            std::numeric_limits<int32_t>::max());
        added->travelTime = RoundToMinute(static_cast<int32_t>(delta)) / 60;
        previousTime = averages[i];
    }
}

bool RemoveSpiderStop(RouteSpider& spider, std::size_t way, std::size_t stop) {
    if (way >= spider.ways.size() || stop >= spider.ways[way].stops.size()) return false;
    auto& stops = spider.ways[way].stops;
    SpiderStopKey key = stops[stop].key;
    stops.erase(stops.begin() + static_cast<std::ptrdiff_t>(stop));
    for (auto& other : spider.ways) {
        if (other.begin == key) other.begin = kNoSpiderStop;
        if (other.end == key) other.end = kNoSpiderStop;
    }
    return true;
}

std::size_t RemoveSpiderWays(RouteSpider& spider, std::vector<std::size_t> ways) {
    // From the back, so that the positions still to remove stay valid.
    std::sort(ways.begin(), ways.end(), std::greater<>());
    ways.erase(std::unique(ways.begin(), ways.end()), ways.end());
    std::size_t removed = 0;
    for (std::size_t way : ways) {
        if (way == 0 || way >= spider.ways.size()) continue;
        spider.ways.erase(spider.ways.begin() + static_cast<std::ptrdiff_t>(way));
        ++removed;
    }
    // A point whose stop went with its way is cleared, not left dangling.
    for (auto& way : spider.ways) {
        if (!LocateSpiderStop(spider, way.begin)) way.begin = kNoSpiderStop;
        if (!LocateSpiderStop(spider, way.end)) way.end = kNoSpiderStop;
    }
    return removed;
}

void ClearLinksToLaterWays(RouteSpider& spider) {
    for (std::size_t w = 0; w < spider.ways.size(); ++w) {
        SpiderWay& way = spider.ways[w];
        for (SpiderStopKey* point : {&way.begin, &way.end}) {
            auto place = LocateSpiderStop(spider, *point);
            if (!place || place->way >= w) *point = kNoSpiderStop;
        }
    }
}

RouteSpiderKey RelinkSpiderKey(const RouteSpiderList& list, const std::vector<SpiderNameOfKey>& oldNames,
                               RouteSpiderKey oldKey) {
    if (oldKey == kNoSpider) return kNoSpider;
    for (const auto& old : oldNames) {
        if (old.key != oldKey) continue;
        const RouteSpider* spider = SpiderForPlan(list, old.name);
        return spider ? spider->key : kNoSpider;
    }
    return kNoSpider;
}

}  // namespace tak
