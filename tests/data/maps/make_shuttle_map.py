#!/usr/bin/env python3
"""Writes tests/data/maps/Shuttle: one line run by several buses a few minutes
apart, each doing round trips all day, for the tests of column order. Each
direction has stops of its own, so a trip out and a trip back share no stop.

Line 8 runs between Bahnhof and Universität. On weekdays five buses leave
Bahnhof every five minutes, each on a 25-minute round trip; on Saturdays three
buses on a 30-minute round trip give a ten-minute service. Departures fall on
half minutes, and the return trip gives its profile only a duration, as many
real maps do.

The files are written the way the simulator's editor writes them: 8-bit text
in Windows-1252 with CR LF line endings. Run it from anywhere:
`python3 tests/data/maps/make_shuttle_map.py`; it replaces the folder.
"""

import pathlib
import shutil

OUT = pathlib.Path(__file__).resolve().parent / "Shuttle"

WEEKDAYS = 0x31F
SATURDAY = 0x320

# Each direction stops on its own side of the street: 80x outward, 81x back.
NAMES = ["Bahnhof", "Marktstraße", "Stadtpark", "Klinik", "Mensa", "Universität"]
OUTWARD = [801, 802, 803, 804, 805, 806]
RETURN = [816, 815, 814, 813, 812, 811]
STOPS = [(800 + i, name) for i, name in enumerate(NAMES, start=1)] + \
        [(810 + i, name) for i, name in enumerate(NAMES, start=1)]
ARRIVALS = [2.0, 4.5, 7.0, 9.0, 12.0]  # minutes after leaving Bahnhof
DURATION = 12.0


def header(kind, dashes):
    return ["-" * dashes, kind, "-" * dashes, "", "Date: 01/02/2025", ""]


def write_lines(path, lines):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(("\r\n".join(lines) + "\r\n").encode("cp1252"))


def trip_lines(description, stations, arrivals):
    dots = "." * 25
    lines = header("Time Table Trip File", 23)
    lines += ["[trip]", "", description, "8", "", dots, "        Stations", dots, ""]
    for stop_id in stations:
        lines += ["[station_typ2]", str(stop_id), ""]
    lines += ["", dots, "        Profiles", dots, ""]
    lines += ["[profile]", "Normal", f"{DURATION:.3f}", ""]
    for index, minute in enumerate(arrivals, start=1):
        lines += ["[profile_man_arr_time]", str(index), f"{minute:.3f}", ""]
    return lines


def tours(prefix, days, buses, cycle, first, last):
    """Bus b leaves Bahnhof at first + b * cycle / buses, turns at Universität
    after half the cycle and leaves Bahnhof again a cycle later. Every second
    bus comes out of the depot at Universität and starts with a trip back;
    every bus ends its day at Universität."""
    result = []
    for bus in range(buses):
        trips = []
        minute = first + bus * cycle / buses
        if bus % 2 == 1:
            trips.append(("8_Uni-Bahnhof", minute - cycle / 2))
        while minute <= last:
            trips.append(("8_Bahnhof-Uni", minute))
            if minute + cycle <= last:
                trips.append(("8_Uni-Bahnhof", minute + cycle / 2))
            minute += cycle
        result.append((f"{prefix}-{bus + 1:02d}", days, trips))
    return result


def clock_text(minute):
    total = round(minute * 60)
    return f"{total // 3600}:{total // 60 % 60}:{total % 60}"


def line_lines(all_tours):
    rule = "-" * 36
    lines = header("Time Table Line File", 23) + ["[priority]", "1", rule, ""]
    for name, days, trips in all_tours:
        lines += ["[newtour]", name, "Bahnhof", str(days), "", rule, ""]
        for trip, minute in trips:
            lines += [f"  Dep.: {clock_text(minute)}", "[addtrip]", trip, "0", f"{minute:.3f}", ""]
    return lines


def main():
    shutil.rmtree(OUT, ignore_errors=True)
    ttdata = OUT / "TTData"
    stop_lines = header("Time Table BusStopList File", 27)
    for stop_id, name in STOPS:
        stop_lines += ["[busstop]", name, "0", str(stop_id), "0", "0", "0", "", ""]
    write_lines(ttdata / "Busstops.cfg", stop_lines)
    write_lines(ttdata / "8_Bahnhof-Uni.ttp", trip_lines("8 Bahnhof - Universität", OUTWARD, ARRIVALS))
    write_lines(ttdata / "8_Uni-Bahnhof.ttp", trip_lines("8 Universität - Bahnhof", RETURN, []))
    all_tours = tours("8", WEEKDAYS, 5, 25, 5 * 60 + 30.5, 23 * 60) + \
        tours("8S", SATURDAY, 3, 30, 7 * 60 + 0.5, 20 * 60)
    write_lines(ttdata / "8.ttl", line_lines(all_tours))
    print(f"{len(STOPS)} stops, 2 trips, {len(all_tours)} tours, "
          f"{sum(len(t[2]) for t in all_tours)} tour trips")


if __name__ == "__main__":
    main()
