#!/usr/bin/env python3
"""Writes the demo map examples/DemoMap: the bus network of Mühlbrück, a small
invented German town.

The files are written the way the simulator's editor writes them: 8-bit text
in Windows-1252 with CR LF line endings, a comment header, and section headers
followed by their value lines. A few files deliberately differ the way files
copied between machines do (LF only, no final line end, upper-case
extensions), so that a reader meets them in the demo as well.

Run it from anywhere: `python3 examples/make_demo_map.py`. It replaces the
folder examples/DemoMap and prints the figures a loader should arrive at.
"""

import pathlib
import shutil

HERE = pathlib.Path(__file__).resolve().parent
OUT = HERE / "DemoMap"

DEPOT_NAME = "Betriebshof Mühlbrück"
WEEKDAYS = 0x31F        # Monday to Friday, both kinds of day
SCHOOL_DAYS = 0x11F     # Monday to Friday, only on the first kind of day
SATURDAY = 0x320
FRIDAY = 0x310
SUNDAY_HOLIDAY = 0x3C0

# ---------------------------------------------------------------------------
# Stops

STOPS = [
    # line 1, north to south
    (101, "Hauptbahnhof"),
    (102, "Bahnhofstraße"),
    (103, "Rathaus"),
    (104, "Marktplatz"),
    (105, "Schloßplatz"),
    (106, "Königstraße"),
    (107, "Grüner Weg"),
    (108, "Stadtbad"),
    (109, "Lindenallee"),
    (110, "Südbahnhof"),
    # line 2, north-west to south-east
    (201, "Nordfriedhof"),
    (202, "Am Mühlbach"),
    (203, "Brückenstraße"),
    (204, "Schulzentrum"),
    (205, "Gartenstraße"),
    (210, "Goethestraße"),
    (206, "Bürgerpark"),
    (207, "Weißdornweg"),
    (208, "Klinikum"),
    # line 3, to the industrial estate in the east
    (301, "Post"),
    (302, "Kirchplatz"),
    (303, "Feuerwehr"),
    (309, "Ölmühle"),
    (304, "Am Tännchen"),
    (305, "Möbelhaus"),
    (306, "Gewerbegebiet Ost"),
    (307, "Betriebshof"),
]
STOP_NAMES = dict(STOPS)

# The stop list also holds an outdated second entry for the town hall; the
# first definition of an id is the one that counts.
STALE_STOP_ENTRIES = [(103, "Rathaus (alt)")]

# Stops brought by chrono events.
ROADWORKS_STOPS = [(209, "Königstraße Ersatzhaltestelle"), (106, "Königstraße (gesperrt)")]
FESTIVAL_STOPS = [(501, "Festplatz Schützenwiese")]


# ---------------------------------------------------------------------------
# Trips and profiles

def half_minutes(value):
    """Rounds running times to half minutes, at least one minute."""
    return max(1.0, round(value * 2) / 2)


class Profile:
    """One timing profile: running minutes between consecutive stations,
    extra standing time at some stations and stopping codes."""

    def __init__(self, name, legs, dwell=None, other=None):
        self.name = name
        self.legs = legs
        self.dwell = dwell or {}
        self.other = other or {}
        self.arrivals = [0.0]
        self.departures = {}
        t = 0.0
        for i, leg in enumerate(legs, start=1):
            t += leg
            self.arrivals.append(t)
            if i in self.dwell and i < len(legs):
                t += self.dwell[i]
                self.departures[i] = t
        self.duration = self.arrivals[-1]


def scaled_profiles(legs, variants):
    """Profiles from base running times: variants are (name, factor, dwell, other)."""
    return [Profile(name, [half_minutes(leg * factor) for leg in legs], dwell, other)
            for name, factor, dwell, other in variants]


class Trip:
    # form: "typ2" (station_typ2 sections), "old_prev" (old station sections
    # whose name stands on the line before the header), "old_three" (old
    # station sections with id, unused value and name)
    def __init__(self, name, line, description, stations, profiles, form="typ2", ext=".ttp"):
        self.name = name
        self.line = line
        self.description = description
        self.stations = stations
        self.profiles = profiles
        self.form = form
        self.ext = ext
        assert all(len(p.legs) == len(stations) - 1 for p in profiles), name

    def profile_index(self, name):
        return [p.name for p in self.profiles].index(name)


LINE1_STATIONS = [101, 102, 103, 104, 105, 106, 107, 108, 109, 110]
LINE1_LEGS = [2, 1.5, 1.5, 2, 1.5, 2, 2, 1.5, 2]
# HVZ = rush hour, NVZ = normal hours, Spätverkehr = evening and night
LINE1_VARIANTS = [
    ("HVZ", 1.25, {3: 1.0}, {}),
    ("NVZ", 1.0, {}, {}),
    ("Spätverkehr", 0.85, {}, {7: 1, 8: 1}),
]


def reversed_stations(stations):
    return list(reversed(stations))


def line1_trips(stations, legs, suffix=""):
    outbound = Trip("1_Hbf-Suedbf" + suffix, "1", "1 Hauptbahnhof - Südbahnhof", stations,
                    scaled_profiles(legs, LINE1_VARIANTS))
    back_legs = list(reversed(legs))
    back_variants = [(n, f, {len(stations) - 1 - k: v for k, v in d.items()},
                      {len(stations) - 1 - k: v for k, v in o.items()})
                     for n, f, d, o in LINE1_VARIANTS]
    inbound = Trip("1_Suedbf-Hbf" + suffix, "1", "1 Südbahnhof - Hauptbahnhof",
                   reversed_stations(stations), scaled_profiles(back_legs, back_variants))
    return outbound, inbound


TRIPS = {}


def add_trip(trip, registry=TRIPS):
    registry[trip.name] = trip
    return trip


LINE1_OUT, LINE1_IN = (add_trip(t) for t in line1_trips(LINE1_STATIONS, LINE1_LEGS))
LINE1_SHORT_OUT = add_trip(Trip("1_Hbf-Stadtbad", "1", "1 Hauptbahnhof - Stadtbad",
                                LINE1_STATIONS[:8],
                                scaled_profiles(LINE1_LEGS[:7], LINE1_VARIANTS[:2])))
LINE1_SHORT_IN = add_trip(Trip("1_Stadtbad-Hbf", "1", "1 Stadtbad - Hauptbahnhof",
                               reversed_stations(LINE1_STATIONS[:8]),
                               scaled_profiles(list(reversed(LINE1_LEGS[:7])),
                                               [("HVZ", 1.25, {4: 1.0}, {}), ("NVZ", 1.0, {}, {})])))
# Depot runs, still in the file form of an older editor version.
DEPOT_ROUTE = [307, 305, 301, 101]
PULL_OUT = add_trip(Trip("1_Betriebshof-Hbf", "1", "Einsetzfahrt Betriebshof - Hauptbahnhof",
                         DEPOT_ROUTE, [Profile("Betriebsfahrt", [3, 4, 3])],
                         form="old_prev", ext=".TTP"))
PULL_IN = add_trip(Trip("1_Hbf-Betriebshof", "1", "Aussetzfahrt Hauptbahnhof - Betriebshof",
                        list(reversed(DEPOT_ROUTE)), [Profile("Betriebsfahrt", [3, 4, 3])],
                        form="old_three"))
SOUTH_PULL_IN = add_trip(Trip("1_Suedbf-Betriebshof", "1", "Aussetzfahrt Südbahnhof - Betriebshof",
                              [110, 307], [Profile("Betriebsfahrt", [12])]))

LINE2_STATIONS = [201, 202, 203, 204, 104, 106, 205, 210, 206, 207, 208]
LINE2_LEGS = [1.5, 2, 2, 2.5, 1.5, 2, 1.5, 1.5, 2, 2]
LINE2_VARIANTS = [("HVZ", 1.2, {4: 1.0}, {3: 2}), ("NVZ", 1.0, {}, {3: 2})]


def line2_trips(stations, legs, prefix, description_suffix=""):
    n = len(stations)
    outbound = Trip(prefix + "_Nordfriedhof-Klinikum", "2",
                    "2 Nordfriedhof - Klinikum" + description_suffix, stations,
                    scaled_profiles(legs, LINE2_VARIANTS))
    back_variants = [(name, f, {n - 1 - k: v for k, v in d.items()},
                      {n - 1 - k: v for k, v in o.items()}) for name, f, d, o in LINE2_VARIANTS]
    inbound = Trip(prefix + "_Klinikum-Nordfriedhof", "2",
                   "2 Klinikum - Nordfriedhof" + description_suffix, reversed_stations(stations),
                   scaled_profiles(list(reversed(legs)), back_variants))
    return outbound, inbound


LINE2_OUT, LINE2_IN = (add_trip(t) for t in line2_trips(LINE2_STATIONS, LINE2_LEGS, "2"))
SCHOOL_STATIONS = LINE2_STATIONS[3:]
SCHOOL_LEGS = LINE2_LEGS[3:]
SCHOOL_OUT = add_trip(Trip("2_Schulzentrum-Klinikum", "2", "2 Schulzentrum - Klinikum (Schulfahrt)",
                           SCHOOL_STATIONS, [Profile("Schule", SCHOOL_LEGS, {}, {0: 2})]))
SCHOOL_IN = add_trip(Trip("2_Klinikum-Schulzentrum", "2", "2 Klinikum - Schulzentrum (Schulfahrt)",
                          reversed_stations(SCHOOL_STATIONS),
                          [Profile("Schule", list(reversed(SCHOOL_LEGS)), {},
                                   {len(SCHOOL_STATIONS) - 1: 2})]))

LINE3_STATIONS = [101, 301, 302, 303, 309, 304, 305, 306]
LINE3_LEGS = [2, 1.5, 2, 2.5, 2, 1.5, 2.5]
LINE3_VARIANTS = [("Standard", 1.0, {}, {3: 1}), ("HVZ", 1.3, {}, {3: 1})]
LINE3_OUT = add_trip(Trip("3_Hbf-GewerbegebietOst", "3", "3 Hauptbahnhof - Gewerbegebiet Ost",
                          LINE3_STATIONS, scaled_profiles(LINE3_LEGS, LINE3_VARIANTS)))
LINE3_IN = add_trip(Trip("3_GewerbegebietOst-Hbf", "3", "3 Gewerbegebiet Ost - Hauptbahnhof",
                         reversed_stations(LINE3_STATIONS),
                         scaled_profiles(list(reversed(LINE3_LEGS)),
                                         [("Standard", 1.0, {}, {4: 1}), ("HVZ", 1.3, {}, {4: 1})])))
LINE3_PULL_IN = add_trip(Trip("3_GewerbegebietOst-Betriebshof", "3",
                              "Aussetzfahrt Gewerbegebiet Ost - Betriebshof",
                              [306, 307], [Profile("Betriebsfahrt", [3])]))

# A trip that was deleted from the map while a Saturday tour of line 3 still
# names it; loading drops that tour trip.
DELETED_TRIP_NAME = "3_Hbf-Kirchplatz"

# Chrono event "Fahrplan2024": until the timetable change in December 2024
# line 1 did not yet stop at Grüner Weg. Its files replace the two through
# trips (file names differ from the base names only in letter case).
OLD_LINE1_STATIONS = [s for s in LINE1_STATIONS if s != 107]
OLD_LINE1_LEGS = [2, 1.5, 1.5, 2, 1.5, 3.5, 1.5, 2]
OLD_TRIPS = {}
OLD_OUT, OLD_IN = line1_trips(OLD_LINE1_STATIONS, OLD_LINE1_LEGS)
OLD_OUT.name = OLD_OUT.name.upper()
OLD_IN.name = OLD_IN.name.lower()
for trip in (OLD_OUT, OLD_IN):
    trip.description += " (Fahrplan 2024)"
    add_trip(trip, OLD_TRIPS)

# Chrono event "Baustelle_Koenigstrasse": Königstraße is closed; line 2
# serves a replacement stop instead and takes two minutes longer.
DIVERTED_STATIONS = [209 if s == 106 else s for s in LINE2_STATIONS]
DIVERTED_LEGS = [1.5, 2, 2, 2.5, 2.5, 2.5, 1.5, 1.5, 2, 2]
ROADWORKS_TRIPS = {}
DIVERTED_OUT, DIVERTED_IN = (add_trip(t, ROADWORKS_TRIPS) for t in
                             line2_trips(DIVERTED_STATIONS, DIVERTED_LEGS, "2U", " (Umleitung)"))
DIVERTED_SCHOOL = add_trip(Trip("2_schulzentrum-klinikum", "2",
                                "2 Schulzentrum - Klinikum (Schulfahrt, Umleitung)",
                                DIVERTED_STATIONS[3:],
                                [Profile("Schule", DIVERTED_LEGS[3:], {}, {0: 2})]),
                           ROADWORKS_TRIPS)
DIVERTED_SCHOOL_IN = add_trip(Trip("2_KLINIKUM-SCHULZENTRUM", "2",
                                   "2 Klinikum - Schulzentrum (Schulfahrt, Umleitung)",
                                   reversed_stations(DIVERTED_STATIONS[3:]),
                                   [Profile("Schule", list(reversed(DIVERTED_LEGS[3:])), {},
                                            {len(DIVERTED_STATIONS) - 4: 2})]),
                              ROADWORKS_TRIPS)

# Chrono event "Stadtfest2025": a shuttle line F to the festival ground.
FESTIVAL_TRIPS = {}
FESTIVAL_OUT = add_trip(Trip("F_Hbf-Festplatz", "F", "F Hauptbahnhof - Festplatz", [101, 103, 501],
                             [Profile("Fest", [3.5, 4])]), FESTIVAL_TRIPS)
FESTIVAL_IN = add_trip(Trip("F_Festplatz-Hbf", "F", "F Festplatz - Hauptbahnhof", [501, 103, 101],
                            [Profile("Fest", [4, 3.5])]), FESTIVAL_TRIPS)


# ---------------------------------------------------------------------------
# Departures and tours

class Departure:
    def __init__(self, minute, trip, profile_name):
        self.minute = minute
        self.trip = trip
        self.profile_index = trip.profile_index(profile_name)
        self.duration = trip.profiles[self.profile_index].duration

    @property
    def origin(self):
        return self.trip.stations[0]

    @property
    def destination(self):
        return self.trip.stations[-1]


def every(trip, profile_name, first, last, step):
    """Departures from `first` to `last` (inclusive, minutes) every `step` minutes."""
    return [Departure(m, trip, profile_name) for m in range(first, last + 1, step)]


def at(trip, profile_name, *minutes):
    return [Departure(m, trip, profile_name) for m in minutes]


def hm(hours, minutes):
    return hours * 60 + minutes


class Tour:
    def __init__(self, name, days):
        self.name = name
        self.days = days
        self.trips = []        # (tripName as written, profile index, start minute)

    def add(self, trip_name, profile_index, minute):
        self.trips.append((trip_name, profile_index, minute))


class Vehicle:
    def __init__(self, location, free_at):
        self.location = location
        self.free_at = free_at
        self.departures = []


LAYOVER = 3       # least minutes between arriving and leaving again
DEPOT_PAUSE = 75  # longer waits at the main station are spent in the depot


def assign_vehicles(departures):
    """Gives every departure a vehicle. At a terminus the vehicle that arrived
    last leaves first, so that the vehicles of the rush hours stand idle
    between them and can go back to the depot."""
    vehicles = []
    for dep in sorted(departures, key=lambda d: (d.minute, d.trip.name)):
        ready = [v for v in vehicles if v.location == dep.origin and v.free_at <= dep.minute]
        if ready:
            vehicle = max(ready, key=lambda v: v.free_at)
        else:
            vehicle = Vehicle(dep.origin, dep.minute)
            vehicles.append(vehicle)
        vehicle.departures.append(dep)
        vehicle.location = dep.destination
        vehicle.free_at = dep.minute + dep.duration + LAYOVER
    return vehicles


def tours_of(line, days, first_number, departures, pull_out=None, pull_in=None,
             depot_stop=None, extra_pull_in=None):
    """Tours of one kind of day. pull_out / pull_in are depot runs that start
    or end at `depot_stop`; extra_pull_in is (stop, trip) for a vehicle whose
    day ends elsewhere."""
    tours = []
    vehicles = assign_vehicles(departures)
    vehicles.sort(key=lambda v: v.departures[0].minute)
    for number, vehicle in enumerate(vehicles, start=first_number):
        tour = Tour(f"{line}-{number:02d}", days)
        previous = None
        for dep in vehicle.departures:
            if pull_out and dep.origin == depot_stop:
                if previous is None:
                    pull_out_start = dep.minute - pull_out.profiles[0].duration - 5
                    tour.add(pull_out.name, 0, pull_out_start)
                elif dep.minute - (previous.minute + previous.duration) > DEPOT_PAUSE:
                    tour.add(pull_in.name, 0, previous.minute + previous.duration + LAYOVER)
                    tour.add(pull_out.name, 0,
                             dep.minute - pull_out.profiles[0].duration - 5)
            tour.add(dep.trip.name, dep.profile_index, dep.minute)
            previous = dep
        end = previous.minute + previous.duration + LAYOVER
        if pull_in and previous.destination == depot_stop:
            tour.add(pull_in.name, 0, end)
        elif extra_pull_in and previous.destination == extra_pull_in[0]:
            tour.add(extra_pull_in[1].name, 0, end)
        tours.append(tour)
    return tours


def line1_departures_weekday(out_trip, in_trip):
    deps = []
    deps += at(out_trip, "Spätverkehr", hm(4, 48), hm(5, 14), hm(5, 36))
    deps += every(out_trip, "HVZ", hm(6, 0), hm(8, 50), 10)
    deps += every(out_trip, "NVZ", hm(9, 0), hm(14, 40), 20)
    deps += every(out_trip, "HVZ", hm(15, 0), hm(18, 50), 10)
    deps += every(out_trip, "NVZ", hm(19, 0), hm(20, 40), 20)
    deps += every(out_trip, "Spätverkehr", hm(21, 0), hm(24, 30), 30)
    deps += at(in_trip, "Spätverkehr", hm(5, 2), hm(5, 25), hm(5, 45))
    deps += every(in_trip, "HVZ", hm(6, 5), hm(8, 55), 10)
    deps += every(in_trip, "NVZ", hm(9, 5), hm(14, 45), 20)
    deps += every(in_trip, "HVZ", hm(15, 5), hm(18, 55), 10)
    deps += every(in_trip, "NVZ", hm(19, 5), hm(20, 45), 20)
    deps += every(in_trip, "Spätverkehr", hm(21, 5), hm(24, 5), 30)
    # school extras to the swimming pool and back, between the regular trips
    deps += at(LINE1_SHORT_OUT, "HVZ", hm(7, 3), hm(7, 27))
    deps += at(LINE1_SHORT_IN, "HVZ", hm(7, 42), hm(8, 6))
    return deps


def line1_departures_saturday(out_trip, in_trip):
    deps = []
    deps += at(out_trip, "Spätverkehr", hm(5, 40), hm(6, 10), hm(6, 40))
    deps += every(out_trip, "NVZ", hm(7, 0), hm(19, 40), 20)
    deps += every(out_trip, "Spätverkehr", hm(20, 0), hm(25, 30), 30)
    deps += at(in_trip, "Spätverkehr", hm(6, 5), hm(6, 35))
    deps += every(in_trip, "NVZ", hm(7, 5), hm(19, 45), 20)
    deps += every(in_trip, "Spätverkehr", hm(20, 5), hm(25, 5), 30)
    return deps


def line1_departures_sunday(out_trip, in_trip):
    deps = []
    deps += every(out_trip, "NVZ", hm(7, 30), hm(19, 30), 30)
    deps += every(out_trip, "Spätverkehr", hm(20, 0), hm(23, 30), 30)
    deps += at(out_trip, "Spätverkehr", hm(24, 15))
    deps += every(in_trip, "NVZ", hm(8, 5), hm(19, 35), 30)
    deps += every(in_trip, "Spätverkehr", hm(20, 5), hm(23, 35), 30)
    return deps


def line1_tours(out_trip, in_trip):
    common = dict(pull_out=PULL_OUT, pull_in=PULL_IN, depot_stop=101,
                  extra_pull_in=(110, SOUTH_PULL_IN))
    return (tours_of("1", WEEKDAYS, 1, line1_departures_weekday(out_trip, in_trip), **common)
            + tours_of("1", SATURDAY, 51, line1_departures_saturday(out_trip, in_trip), **common)
            + tours_of("1", SUNDAY_HOLIDAY, 71, line1_departures_sunday(out_trip, in_trip),
                       **common))


def line2_tours(out_trip, in_trip, school_out, school_in):
    weekday = []
    weekday += at(out_trip, "NVZ", hm(5, 20))
    weekday += every(out_trip, "HVZ", hm(6, 0), hm(8, 40), 20)
    weekday += every(out_trip, "NVZ", hm(9, 0), hm(14, 30), 30)
    weekday += every(out_trip, "HVZ", hm(15, 0), hm(18, 40), 20)
    weekday += every(out_trip, "NVZ", hm(19, 0), hm(22, 0), 30)
    weekday += at(out_trip, "NVZ", hm(22, 40))
    weekday += at(in_trip, "NVZ", hm(5, 40))
    weekday += every(in_trip, "HVZ", hm(6, 10), hm(8, 50), 20)
    weekday += every(in_trip, "NVZ", hm(9, 10), hm(14, 40), 30)
    weekday += every(in_trip, "HVZ", hm(15, 10), hm(18, 50), 20)
    weekday += every(in_trip, "NVZ", hm(19, 10), hm(22, 10), 30)
    weekday += at(in_trip, "NVZ", hm(23, 5))
    school = (at(school_in, "Schule", hm(7, 22), hm(14, 48))
              + at(school_out, "Schule", hm(13, 5), hm(15, 25)))
    saturday = (every(out_trip, "NVZ", hm(7, 0), hm(20, 0), 30)
                + every(in_trip, "NVZ", hm(7, 10), hm(20, 10), 30))
    sunday = (every(out_trip, "NVZ", hm(9, 0), hm(20, 0), 60)
              + every(in_trip, "NVZ", hm(9, 30), hm(20, 30), 60))
    return (tours_of("2", WEEKDAYS, 1, weekday)
            + tours_of("2", SCHOOL_DAYS, 81, school)
            + tours_of("2", SATURDAY, 51, saturday)
            + tours_of("2", SUNDAY_HOLIDAY, 71, sunday))


def line3_tours():
    weekday = []
    weekday += every(LINE3_OUT, "HVZ", hm(5, 15), hm(8, 45), 30)
    weekday += every(LINE3_OUT, "Standard", hm(9, 45), hm(13, 45), 60)
    weekday += every(LINE3_OUT, "HVZ", hm(14, 15), hm(18, 45), 30)
    weekday += at(LINE3_OUT, "Standard", hm(19, 45), hm(20, 45), hm(21, 45))
    weekday += every(LINE3_IN, "HVZ", hm(5, 40), hm(9, 10), 30)
    weekday += every(LINE3_IN, "Standard", hm(10, 10), hm(14, 10), 60)
    weekday += every(LINE3_IN, "HVZ", hm(14, 40), hm(18, 40), 30)
    weekday += at(LINE3_IN, "Standard", hm(20, 10), hm(21, 10))
    # the vehicles end their day at the industrial estate, next to the depot
    saturday = (every(LINE3_OUT, "Standard", hm(6, 15), hm(13, 15), 60)
                + every(LINE3_IN, "Standard", hm(6, 40), hm(12, 40), 60))
    pull_in = dict(extra_pull_in=(306, LINE3_PULL_IN))
    tours = (tours_of("3", WEEKDAYS, 1, weekday, **pull_in)
             + tours_of("3", SATURDAY, 51, saturday, **pull_in))
    # the deleted short trip, still named at the start of the first Saturday tour
    first_saturday = next(t for t in tours if t.days == SATURDAY)
    first_saturday.trips.insert(0, (DELETED_TRIP_NAME, 0, hm(5, 40)))
    return tours


def festival_tours():
    fri = (every(FESTIVAL_OUT, "Fest", hm(16, 0), hm(24, 45), 15)
           + every(FESTIVAL_IN, "Fest", hm(16, 10), hm(25, 10), 15))
    sat = (every(FESTIVAL_OUT, "Fest", hm(10, 0), hm(25, 45), 15)
           + every(FESTIVAL_IN, "Fest", hm(10, 10), hm(26, 10), 15))
    sun = (every(FESTIVAL_OUT, "Fest", hm(10, 0), hm(19, 45), 15)
           + every(FESTIVAL_IN, "Fest", hm(10, 10), hm(20, 10), 15))
    return (tours_of("F", FRIDAY, 1, fri) + tours_of("F", SATURDAY, 51, sat)
            + tours_of("F", SUNDAY_HOLIDAY, 71, sun))


# ---------------------------------------------------------------------------
# File writing

def minutes_text(value):
    return f"{value:.3f}"


def clock_text(minute):
    total = round(minute * 60)
    return f"{total // 3600}:{total // 60 % 60}:{total % 60}"


def header(kind, dashes):
    return ["-" * dashes, kind, "-" * dashes, "",
            "Created with Editor Version 2.4.1", "Date: 14/01/2025", ""]


def write_lines(path, lines, newline="\r\n", final_newline=True):
    if not final_newline:
        while lines and lines[-1] == "":
            lines = lines[:-1]
    text = newline.join(lines) + (newline if final_newline else "")
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(text.encode("cp1252"))


def stop_list_lines(stops):
    lines = header("Time Table BusStopList File", 27)
    for stop_id, name in stops:
        # the values after the id are the stop's place on the map; not read
        lines += ["[busstop]", name, "0", str(stop_id), f"{stop_id % 7 * 12.5:.10f}", "0", "0",
                  "", ""]
    return lines


def station_lines(trip):
    lines = []
    for stop_id in trip.stations:
        name = STOP_NAMES.get(stop_id)
        if trip.form == "typ2":
            lines += ["[station_typ2]", str(stop_id), ""]
        elif trip.form == "old_prev":
            # the older editor wrote the stop's number and name on the line
            # before the section, closed by a semicolon
            lines += [f"{stop_id} - {name};", "[station]", str(stop_id), ""]
        else:
            lines += ["[station]", str(stop_id), "0", name, ""]
    return lines


def profile_lines(trip, profile):
    lines = ["[profile]", profile.name, minutes_text(profile.duration), ""]
    for index in range(1, len(trip.stations)):
        lines += ["[profile_man_arr_time]", str(index), minutes_text(profile.arrivals[index]), ""]
        if index in profile.departures:
            lines += ["[profile_man_dep_time]", str(index),
                      minutes_text(profile.departures[index]), ""]
    for index, code in sorted(profile.other.items()):
        lines += ["[profile_otherstopping]", str(index), str(code), ""]
    return lines


def trip_lines(trip):
    dots = "." * 25
    lines = header("Time Table Trip File", 23)
    lines += ["[trip]", "", trip.description, trip.line, "",
              dots, "        Stations", dots, ""]
    lines += station_lines(trip)
    lines += ["", dots, "        Profiles", dots, ""]
    for profile in trip.profiles:
        lines += profile_lines(trip, profile)
    return lines


def line_lines(tours, user_allowed):
    rule = "-" * 36
    lines = header("Time Table Line File", 23)
    if user_allowed:
        lines += ["[userallowed]", ""]
    lines += ["[priority]", "1", rule, ""]
    for tour in tours:
        lines += ["[newtour]", tour.name, DEPOT_NAME, str(tour.days), "", rule, ""]
        for name, profile_index, minute in tour.trips:
            lines += [f"  Dep.: {clock_text(minute)}", "[addtrip]", name, str(profile_index),
                      minutes_text(minute), ""]
    return lines


def write_timetable(folder, stops, trips, lines, stop_file="Busstops.cfg", **text_style):
    ttdata = folder / "TTData"
    if stops:
        write_lines(ttdata / stop_file, stop_list_lines(stops), **text_style)
    for trip in trips.values():
        write_lines(ttdata / (trip.name + trip.ext), trip_lines(trip), **text_style)
    for file_name, (tours, user_allowed) in lines.items():
        write_lines(ttdata / file_name, line_lines(tours, user_allowed), **text_style)


def chrono_cfg_lines(start=None, end=None, name=None, deactivate=()):
    lines = []
    if start:
        lines += ["[startdate]", start, ""]
    if end:
        lines += ["[enddate]", end, ""]
    if name:
        lines += ["[name]", name, ""]
    if deactivate:
        lines += ["[deactivate_lines]", str(len(deactivate)), *deactivate, ""]
    return lines


def write_event(folder, cfg, names, dsc_files=("Chrono_de.dsc", "Chrono_en.dsc"), **text_style):
    write_lines(folder / "Chrono.cfg", cfg, **text_style)
    for file_name, name in zip(dsc_files, names):
        write_lines(folder / file_name, ["[name]", name], **text_style)


# ---------------------------------------------------------------------------
# Figures

def count_tour_trips(line_tours, trip_names):
    known = {name.lower() for name in trip_names}
    return sum(1 for tours in line_tours for tour in tours for t in tour.trips
               if t[0].lower() in known)


def report(label, stops, trips, line_tours):
    tours = sum(len(tours) for tours in line_tours)
    profiles = sum(len(t.profiles) for t in trips.values())
    tour_trips = count_tour_trips(line_tours, trips.keys())
    late = sum(1 for ts in line_tours for tour in ts for t in tour.trips
               if t[2] >= 1440 and t[0].lower() in {n.lower() for n in trips})
    print(f"{label}: {len(stops)} stops, {len(trips)} trips, {profiles} profiles, "
          f"{len(line_tours)} lines, {tours} tours, {tour_trips} tour trips "
          f"({late} start at or after 24:00)")


def merged_trips(*registries):
    """Trips by name as a loader keeps them: a later name that equals an
    earlier one ignoring case replaces it."""
    result = {}
    for registry in registries:
        for name, trip in registry.items():
            for old in [k for k in result if k.lower() == name.lower()]:
                del result[old]
            result[name] = trip
    return result


def main():
    if OUT.exists():
        shutil.rmtree(OUT)

    line1 = line1_tours(LINE1_OUT, LINE1_IN)
    line2 = line2_tours(LINE2_OUT, LINE2_IN, SCHOOL_OUT, SCHOOL_IN)
    line3 = line3_tours()
    write_timetable(OUT, STOPS + STALE_STOP_ENTRIES, TRIPS,
                    {"1.ttl": (line1, True), "2.ttl": (line2, True), "3.TTL": (line3, False)})

    chrono = OUT / "Chrono"
    write_event(chrono / "Fahrplan2024",
                chrono_cfg_lines(end="20241214", name="Fahrplan 2024"),
                ["Fahrplan 2024 (gültig bis 14.12.2024)",
                 "Timetable 2024 (valid until 14 Dec 2024)"])
    write_timetable(chrono / "Fahrplan2024", [], OLD_TRIPS, {})

    roadworks_line2 = line2_tours(DIVERTED_OUT, DIVERTED_IN, DIVERTED_SCHOOL, DIVERTED_SCHOOL_IN)
    write_event(chrono / "Baustelle_Koenigstrasse",
                chrono_cfg_lines("20250303", "20250530", "Baustelle Königstraße", ["2"]),
                ["Baustelle Königstraße: Linie 2 mit Umleitung",
                 "Road works in Königstraße: line 2 diverted"])
    write_timetable(chrono / "Baustelle_Koenigstrasse", ROADWORKS_STOPS, ROADWORKS_TRIPS,
                    {"2.ttl": (roadworks_line2, True)}, stop_file="BusStops.cfg")

    # This event's files came from another machine: LF line ends, and a
    # settings file without a final line end.
    festival = festival_tours()
    lf = dict(newline="\n")
    write_lines(chrono / "Stadtfest2025" / "Chrono.cfg",
                chrono_cfg_lines("20250620", "20250622", "Stadtfest"), final_newline=False, **lf)
    write_lines(chrono / "Stadtfest2025" / "Chrono_DE.dsc", ["[name]", "Stadtfest Mühlbrück"], **lf)
    write_lines(chrono / "Stadtfest2025" / "chrono_en.DSC",
                ["[name]", "Mühlbrück town festival"], **lf)
    write_timetable(chrono / "Stadtfest2025", FESTIVAL_STOPS, FESTIVAL_TRIPS,
                    {"F.ttl": (festival, True)}, **lf)

    base_stops = dict(STOPS)
    report("no date (also 2025-01-15)", base_stops, TRIPS, [line1, line2, line3])
    report("2024-11-20 (Fahrplan2024)", base_stops, merged_trips(TRIPS, OLD_TRIPS),
           [line1, line2, line3])
    roadworks_stops = {**dict(ROADWORKS_STOPS), **base_stops}
    report("2025-04-09 (Baustelle_Koenigstrasse)", roadworks_stops,
           merged_trips(TRIPS, ROADWORKS_TRIPS), [line1, line3, roadworks_line2])
    festival_stops = {**dict(FESTIVAL_STOPS), **base_stops}
    report("2025-06-21 (Stadtfest2025)", festival_stops, merged_trips(TRIPS, FESTIVAL_TRIPS),
           [line1, line2, line3, festival])
    for label, tours in (("1", line1), ("2", line2), ("3", line3), ("2 diverted", roadworks_line2),
                         ("F", festival)):
        kinds = {}
        for tour in tours:
            kinds.setdefault(tour.days, []).append(tour)
        text = ", ".join(f"{days:#x}: {len(ts)} tours / {sum(len(t.trips) for t in ts)} trips"
                         for days, ts in kinds.items())
        print(f"  line {label}: {text}")


if __name__ == "__main__":
    main()
