"""gpsd reads the scenario example docs/scenarios/gpsd-glonass-off.yaml from
its pseudo-terminal, at twenty times the wall clock: GLONASS satellites are
in its sky before 90 s, gone while the system is off, back after 150 s.
Everything talks over loopback and every wait is bounded."""
import os
import subprocess
import sys
import tempfile

from gpsd_support import free_port, start_gpsd, stop, wait_for_link, watch

PROGRAM, SCENARIO = sys.argv[1], sys.argv[2]
GLONASS = 6


def seconds_of(iso):
    """Seconds since 12:00:00 of a gpsd time "2026-12-08T12:01:30.000Z"."""
    hours, minutes, seconds = iso.split("T")[1].rstrip("Z").split(":")
    return (int(hours) - 12) * 3600 + int(minutes) * 60 + float(seconds)


def main():
    work = tempfile.mkdtemp(prefix="kovra-gpsd-scenario-")
    link = os.path.join(work, "gps")
    port = free_port()
    simulator = subprocess.Popen([PROGRAM, "--scenario", SCENARIO, "--pty", link, "--speedup", "20"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    gpsd = None
    try:
        wait_for_link(link)
        gpsd = start_gpsd(link, port, work)
        if gpsd is None:
            print("gpsd did not listen", file=sys.stderr)
            return 1
        glonass = {"before": set(), "during": set(), "after": set()}
        now = {"t": None}

        def report(r):
            if r.get("class") == "TPV" and "time" in r:
                now["t"] = seconds_of(r["time"])
            t = now["t"]
            if r.get("class") == "SKY" and t is not None:
                phase = "before" if 10 < t < 85 else "during" if 105 < t < 145 else "after" if 170 < t < 235 else None
                if phase:
                    glonass[phase].add(any(s.get("gnssid") == GLONASS for s in r.get("satellites", [])))
            return t is not None and t >= 235

        watch(port, 25, report)
        print(f"GLONASS in gpsd's sky: {glonass}")
        # A SKY may come between one system's GSV and the next: GLONASS is
        # seen in some of them while on, in none while off.
        return 0 if True in glonass["before"] and glonass["during"] == {False} and True in glonass["after"] else 1
    finally:
        stop(gpsd, simulator)


sys.exit(main())
