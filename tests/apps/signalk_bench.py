"""A Signal K server (npm signalk-server) fed by the simulator over TCP, as
on a chart plotter bench: its REST API shows the leg steered (the next
point's position, distance and bearing, the cross-track error), the
magnetic heading, the depth, the apparent wind and the speed through the
water with the values the run set, worked here by hand.

The vessel leaves 54°N 10°E due east at 30 knots while the route's first
leg runs due north from there to A: after t seconds it is 30·t/3600 nm
right of the leg. A wind from the north at 10 knots comes over the bow
from 18.43° to port at 31.62 knots.

Installs the server with npm into the build tree once; skipped with a line
(exit 77) where node or the npm registry is not there. Loopback only;
every wait is bounded."""
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

from checking import check, outcome
from gpsd_support import free_port, wait_for

PROGRAM = sys.argv[1]
SERVER_DIR = sys.argv[2]
SERVER = "signalk-server@2.23.0"  # the newest the registry resolves whole
SKIP = 77

KNOT = 1852 / 3600
START_LAT, START_LON, A_LAT = 54.0, 10.0, 54.1
SPEED, VARIATION, DEPTH, OFFSET = 30.0, 3.1, 12.5, -0.5

def near(value, expected, tolerance, what):
    check(value is not None and abs(value - expected) <= tolerance, f"{what}: {value}, expected {expected}")


def installed_server():
    """The server's start script, installed once; None (said why) where it cannot be."""
    script = os.path.join(SERVER_DIR, "node_modules", ".bin", "signalk-server")
    if os.path.exists(script):
        return script
    if shutil.which("node") is None or shutil.which("npm") is None:
        print("node and npm are not on this machine: the Signal K bench is skipped")
        return None
    os.makedirs(SERVER_DIR, exist_ok=True)
    install = subprocess.run(["npm", "install", "--prefix", SERVER_DIR, "--no-audit", "--no-fund", SERVER],
                             capture_output=True, text=True, timeout=600)
    if install.returncode != 0 or not os.path.exists(script):
        print(f"npm could not install {SERVER} (no registry?): the Signal K bench is skipped")
        print(install.stderr[-600:])
        return None
    return script


def settings(http_port, nmea_port):
    """One NMEA 0183 source on TCP, none of the server's own outputs or announcements."""
    source = {"type": "providers/simple",
              "options": {"logging": False, "type": "NMEA0183",
                          "subOptions": {"type": "tcp", "host": "127.0.0.1", "port": nmea_port}}}
    return {"port": http_port, "mdns": False,
            "interfaces": {"nmea-tcp": False, "tcp": False, "mdns": False},
            "pipedProviders": [{"id": "kovra", "enabled": True, "pipeElements": [source]}]}


def vessel(http_port):
    try:
        with urllib.request.urlopen(f"http://127.0.0.1:{http_port}/signalk/v1/api/vessels/self", timeout=2) as r:
            return json.load(r)
    except OSError:
        return None


def value(tree, path):
    for key in path.split("."):
        if not isinstance(tree, dict) or key not in tree:
            return None
        tree = tree[key]
    return tree.get("value") if isinstance(tree, dict) else None


def local_radii(lat):
    """WGS84 radii of curvature at `lat`: along the meridian and the prime vertical."""
    a, e2 = 6378137.0, 6.69437999014e-3
    w = 1 - e2 * math.sin(math.radians(lat)) ** 2
    return a * (1 - e2) / w ** 1.5, a / math.sqrt(w)


def expected_leg(lat, lon):
    """Distance and bearing to A and the cross-track error from the meridian leg, by hand."""
    meridian, prime = local_radii((lat + A_LAT) / 2)
    north = meridian * math.radians(A_LAT - lat)
    east = prime * math.cos(math.radians(lat)) * math.radians(START_LON - lon)
    bearing = math.degrees(math.atan2(east, north)) % 360
    return math.hypot(north, east), bearing, -east  # right of the leg: steer left, positive


def main():
    server = installed_server()
    if server is None:
        return SKIP
    nmea_port, http_port = free_port(), free_port()
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "settings.json"), "w") as f:
            json.dump(settings(http_port, nmea_port), f)
        simulator = subprocess.Popen(
            [PROGRAM, "--time", "2026-12-08T12:00:00Z", "--count", "30", "--tcp", str(nmea_port),
             "--lat", "54.0", "--lon", "10.0", "--course", "90", "--speed", str(SPEED), "--acceleration", "0",
             "--mag-var", f"{VARIATION}E", "--waypoint", f"A,{A_LAT},10.0", "--waypoint", "B,54.2,10.0",
             "--route", "TRIP:A,B", "--leg", f"course=90,speed={SPEED}",
             "--sentences", "RMC,GGA,RMB,APB,XTE,BOD,BWC,HDG,DPT,DBT,MWV,VHW",
             "--depth", str(DEPTH), "--transducer-offset", str(OFFSET), "--wind", "0,10"],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        signalk = None
        try:
            check(wait_for(nmea_port), "the simulator serves TCP")
            signalk = subprocess.Popen([server, "-c", work], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                       env={**os.environ, "SIGNALK_NODE_CONFIG_DIR": work})
            deadline = time.monotonic() + 25
            while time.monotonic() < deadline and value(vessel(http_port) or {}, "navigation.position") is None:
                time.sleep(0.5)
            check(value(vessel(http_port) or {}, "navigation.position") is not None,
                  "Signal K reads the stream within 25 s")
            simulator.wait(timeout=45)  # its last update is then the server's whole picture
            time.sleep(1)
            compare(vessel(http_port) or {})
        finally:
            for process in (signalk, simulator):
                if process is not None and process.poll() is None:
                    process.terminate()
                    process.wait(timeout=10)
    return outcome("Signal K shows the leg, the heading, the depth, the wind and the speed through the water")


def compare(self):
    when = value(self, "navigation.datetime")
    check(when == "2026-12-08T12:00:29.000Z", f"the last update is the server's: {when}")
    position = value(self, "navigation.position") or {}
    lat, lon = position.get("latitude", 0), position.get("longitude", 0)
    # 29 s at 30 knots due east: 0.2417 nm
    east = 29 * SPEED * KNOT
    near(lat, START_LAT, 1e-6, "latitude")
    near(lon, START_LON + math.degrees(east / (local_radii(54)[1] * math.cos(math.radians(54)))), 2e-6, "longitude")

    distance, bearing, cross_track = expected_leg(lat, lon)
    nxt = (self.get("navigation", {}).get("courseGreatCircle") or {}).get("nextPoint") or {}
    point = (nxt.get("position") or {}).get("value") or {}
    near(point.get("latitude"), A_LAT, 1e-6, "the next point's latitude")
    near(point.get("longitude"), START_LON, 1e-6, "the next point's longitude")
    near(value(self, "navigation.courseGreatCircle.nextPoint.distance"), distance, 0.006 * 1852, "distance to A")
    near(math.degrees(value(self, "navigation.courseGreatCircle.bearingTrackTrue") or 0), bearing, 0.06,
         "bearing to A")
    near(value(self, "navigation.courseRhumbline.crossTrackError"), cross_track, 0.006 * 1852, "cross-track error")
    check(value(self, "navigation.courseRhumbline.nextPoint.ID") == "A", "the next point is A")

    near(math.degrees(value(self, "navigation.headingMagnetic") or 0), 90 - VARIATION, 0.06, "magnetic heading")
    near(value(self, "navigation.speedThroughWater"), SPEED * KNOT, 0.006 * KNOT, "speed through the water")
    near(value(self, "environment.depth.belowTransducer"), DEPTH, 0.05, "depth below the transducer")
    near(value(self, "environment.depth.belowKeel"), DEPTH + OFFSET, 0.05, "depth below the keel")
    # The air moves 10 knots south and, across the vessel, 30 knots west:
    # from 18.43° on the port bow at 31.62 knots.
    near(math.degrees(value(self, "environment.wind.angleApparent") or 0), -18.43, 0.06, "apparent wind angle")
    near(value(self, "environment.wind.speedApparent"), math.hypot(10, 30) * KNOT, 0.06 * KNOT, "apparent wind")


if __name__ == "__main__":
    sys.exit(main())
