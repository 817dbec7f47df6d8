"""Every endpoint of the live view and every refusal, over HTTP on loopback,
without a browser: the page and its files, /state, /events, /skyplot.svg,
and POST /control with what it accepts and what it refuses (a refused
request changes nothing). Every wait is bounded."""
import json
from datetime import datetime
import socket
import subprocess
import sys
import threading
import time
import urllib.error
import urllib.request

from checks import check, free_port, report

PROGRAM = sys.argv[1]


def request(base, path, body=None, headers=None):
    data = None if body is None else (body if isinstance(body, bytes) else json.dumps(body).encode())
    req = urllib.request.Request(base + path, data=data, headers=headers or {}, method="POST" if data is not None else "GET")
    try:
        with urllib.request.urlopen(req, timeout=5) as response:
            return response.status, response.headers.get("Content-Type", ""), response.read()
    except urllib.error.HTTPError as error:
        return error.code, error.headers.get("Content-Type", ""), error.read()


def start(port, *more):
    """The program with its live view; its standard output is read all along
    (a pipe nobody reads would hold the run up)."""
    process = subprocess.Popen([PROGRAM, "--http", f"127.0.0.1:{port}", "--rate", "5", "--time", "2026-12-08T12:00:00Z",
                                *more], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    process.lines = []
    threading.Thread(target=lambda: process.lines.extend(process.stdout), daemon=True).start()
    base = f"http://127.0.0.1:{port}"
    for _ in range(100):
        try:
            status, _, body = request(base, "/state")
            if status == 200 and body:
                return process, base
        except OSError:
            pass
        time.sleep(0.05)
    raise SystemExit("the live view did not come up")


def first_events(base, count):
    """The first `count` events of /events, as (kind, data)."""
    events = []
    with urllib.request.urlopen(base + "/events", timeout=5) as stream:
        kind, data = "message", []
        deadline = time.monotonic() + 5
        while len(events) < count and time.monotonic() < deadline:
            line = stream.readline().decode().rstrip("\n")
            if line.startswith("event: "):
                kind = line[7:]
            elif line.startswith("data: "):
                data.append(line[6:])
            elif line == "" and data:
                events.append((kind, "\n".join(data)))
                kind, data = "message", []
    return events


def main():
    port = free_port()
    process, base = start(port, "--no-move")  # the course changes only by control
    try:
        status, kind, page = request(base, "/")
        check(status == 200 and kind.startswith("text/html") and b'<canvas id="map"' in page, "GET / is the page")
        for path, mime in (("/app.js", "text/javascript"), ("/style.css", "text/css")):
            status, kind, _ = request(base, path)
            check(status == 200 and kind.startswith(mime), f"GET {path}")
        check(b"http://" not in page.replace(b"http://www.w3.org", b""), "the page loads nothing from elsewhere")
        status, kind, body = request(base, "/state")
        state = json.loads(body)
        for key in ("time", "lat", "lon", "alt", "speed", "course", "fix", "hdop", "pdop", "vdop", "satellites",
                    "route", "paused"):
            check(key in state, f"/state has {key}")
        check(state["route"]["name"] == "DEPART" and state["route"]["next"], "/state has the route and its next waypoint")
        satellite = state["satellites"][0]
        check(set(satellite) >= {"system", "prn", "elevation", "azimuth", "snr", "used"}, "/state satellites")
        status, kind, svg = request(base, "/skyplot.svg")
        check(status == 200 and kind.startswith("image/svg+xml") and b"<svg" in svg, "GET /skyplot.svg")
        events = first_events(base, 4)
        kinds = [k for k, _ in events]
        check("message" in kinds and "nmea" in kinds, f"/events sends state and sentences: {kinds}")
        for k, data in events:
            if k == "message":
                check("lat" in json.loads(data), "a state event is the JSON of /state")
            elif k == "world":
                world = json.loads(data)
                check([v["name"] for v in world["vessels"]] == ["vessel 1"] and world["events"] == [],
                      f"a world event lists the vessels and the events: {data[:200]}")
            else:
                check(data.startswith("$GNRMC,"), "an nmea event is the update's sentences")
        status, _, body = request(base, "/world")
        check(status == 200 and json.loads(body)["vessels"][0]["name"] == "vessel 1", "GET /world")
        for path in ("/state?vessel=nobody", "/events?vessel=nobody", "/skyplot.svg?vessel=nobody"):
            status, _, body = request(base, path)
            check(status == 404 and "no vessel" in json.loads(body)["error"], f"{path} is 404: {status} {body!r}")
        check(json.loads(request(base, "/state?vessel=vessel%201")[2])["vessel"] == "vessel 1",
              "/state?vessel= names the vessel")

        # Refused: nothing changes.
        before = json.loads(request(base, "/state")[2])["course"]
        for body, code, field in ((b"not json", 400, "JSON"), (b"[1, 2]", 400, "object"),
                                  ({"heading": 10}, 400, "heading"), ({"course": "east"}, 400, "course"),
                                  ({"course": 360}, 400, "course"), ({"speed": -1}, 400, "speed"),
                                  ({"speedup": 0}, 400, "speedup"), ({"pause": "yes"}, 400, "pause"),
                                  ({"goto": "NOWHERE"}, 400, "goto"), ({"route": "NONE"}, 400, "route"),
                                  ({"vessel": "NOBODY", "course": 10}, 400, "vessel")):
            status, kind, reply = request(base, "/control", body, {"Content-Type": "application/json"})
            check(status == code and kind.startswith("application/json") and field in json.loads(reply)["error"],
                  f"POST {body!r} is {code} naming {field}: {status} {reply!r}")
        status, _, reply = request(base, "/control", {"course": 90}, {"Origin": "http://evil.example"})
        check(status == 403, f"a foreign origin is refused: {status}")
        time.sleep(0.5)
        check(json.loads(request(base, "/state")[2])["course"] == before, "refused requests changed nothing")

        # Accepted: from the next update, in /state and in the stream alike.
        status, _, _ = request(base, "/control", {"course": 90, "speed": 12.5}, {"Origin": base})
        check(status == 200, "a request from the page's own origin is accepted")
        deadline = time.monotonic() + 5
        state = {}
        while time.monotonic() < deadline:
            state = json.loads(request(base, "/state")[2])
            if abs(state["course"] - 90) < 0.01:
                break
            time.sleep(0.1)
        check(abs(state.get("course", 0) - 90) < 0.01 and state.get("speed") == 12.5, "/state follows the control")
        status, _, _ = request(base, "/control", {"pause": True, "goto": "FAIRWAY"})
        check(status == 200, "pause and goto")
        # Ten times faster: the sentences' clock runs ahead of the wall clock.
        status, _, _ = request(base, "/control", {"speedup": 10})
        time.sleep(0.5)
        first = datetime.fromisoformat(json.loads(request(base, "/state")[2])["time"])
        time.sleep(1.0)
        later = datetime.fromisoformat(json.loads(request(base, "/state")[2])["time"])
        check(status == 200 and (later - first).total_seconds() >= 5, f"speedup 10: {later - first} in 1 s")

        # A client that never reads its events holds nothing up.
        idle = socket.create_connection(("127.0.0.1", port))
        idle.sendall(b"GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        first = json.loads(request(base, "/state")[2])["time"]
        time.sleep(3)
        later = json.loads(request(base, "/state")[2])["time"]
        check(later != first, f"updates go on beside a client that does not read: {first} {later}")
        idle.close()
    finally:
        process.terminate()
        process.wait(timeout=10)
    time.sleep(0.2)  # the reader takes the last lines
    courses = [line.split(",")[8] for line in process.lines if line.startswith("$GNRMC,")]
    check("90.00" in courses, "the NMEA stream's course follows the control")
    check(process.returncode == 0, f"exit status {process.returncode}")

    # Read only: the view, no control.
    process, base = start(free_port(), "--http-read-only")
    try:
        status, _, _ = request(base, "/control", {"course": 10})
        check(status == 403, f"--http-read-only refuses control: {status}")
        check(request(base, "/state")[0] == 200, "--http-read-only still serves the state")
    finally:
        process.terminate()
        process.wait(timeout=10)

    return report("live view over HTTP")


sys.exit(main())
