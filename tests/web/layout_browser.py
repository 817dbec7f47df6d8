"""The live view's layout in headless Chromium at three window sizes (a
desktop's 1400x1000, a square 1180x1180, a phone's 390x844): nothing wider
than the window, the controls in view on the desktop, no two labels of the
sky plot or of the map's grid over each other, a favicon; a screenshot of
each. Then what a user types and reads: a course of 400 refused with the
API's own message, the last update whole and one kind of it. Loopback only;
every wait is bounded."""
import json
import os
import subprocess
import sys
import urllib.error
import urllib.request

from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

from checks import check, chromium, free_port, report, wait_for

PROGRAM, SCREENSHOTS = sys.argv[1], sys.argv[2]
SIZES = [(1400, 1000), (1180, 1180), (390, 844)]

# Every element a user needs, by its id, and the boxes of the labels.
MEASURE = """
const ids = ["status", "map", "sky", "controls", "course-input", "course-set", "speed-set", "pause", "outage",
             "zoom-in", "log-kind", "nmea"];
const rect = (e) => { const r = e.getBoundingClientRect(); return [r.left, r.top, r.width, r.height]; };
return {
  width: window.innerWidth, height: window.innerHeight, scrollWidth: document.documentElement.scrollWidth,
  elements: Object.fromEntries(ids.map((id) => [id, rect(document.getElementById(id))])),
  sky: [...document.querySelectorAll("#sky text")].filter((t) => t.textContent).map((t) => [t.textContent, rect(t)]),
  grid: JSON.parse(document.getElementById("map").dataset.labels || "[]"),
  icon: !!document.querySelector("link[rel=icon]"),
};
"""


def overlaps(a, b):
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


def overlapping(labels):
    """Pairs of labels over each other (boxes shrunk by half a pixel: touching is not covering)."""
    boxes = [(name, [x + 0.5, y + 0.5, w - 1, h - 1]) for name, (x, y, w, h) in labels]
    return [(a, b) for i, (a, p) in enumerate(boxes) for b, q in boxes[i + 1:] if overlaps(p, q)]


def layout(port, size):
    width, height = size
    browser = chromium(f"{width},{height}")
    try:
        browser.get(f"http://127.0.0.1:{port}/")
        wait = WebDriverWait(browser, 15)
        wait.until(lambda b: "°" in b.find_element(By.ID, "position").text)
        wait.until(lambda b: len(b.find_elements(By.CSS_SELECTOR, "#sky circle[data-prn]")) >= 20)
        m = browser.execute_script(MEASURE)
        where = f"{width}x{height}"
        check(m["scrollWidth"] <= m["width"], f"{where}: the page is {m['scrollWidth']} px wide in {m['width']}")
        for id_, (left, top, w, h) in m["elements"].items():
            check(left >= 0 and left + w <= m["width"] + 0.5, f"{where}: #{id_} at {left:.0f}+{w:.0f} leaves the window")
        if width >= 1180:
            _, top, _, h = m["elements"]["controls"]
            check(top + h <= m["height"], f"{where}: the controls end at {top + h:.0f}, below the window's {m['height']}")
        check(not overlapping(m["sky"]), f"{where}: sky-plot labels over each other: {overlapping(m['sky'])[:4]}")
        grid = [(str(i), box) for i, box in enumerate(m["grid"])]
        check(len(grid) >= 4, f"{where}: the grid has {len(grid)} labels")
        check(not overlapping(grid), f"{where}: grid labels over each other: {overlapping(grid)[:4]}")
        check(m["icon"], f"{where}: the page has a favicon")
        os.makedirs(SCREENSHOTS, exist_ok=True)
        browser.save_screenshot(os.path.join(SCREENSHOTS, f"live-view-{where}.png"))
    finally:
        browser.quit()


def api_error(port, body):
    request = urllib.request.Request(f"http://127.0.0.1:{port}/control", data=json.dumps(body).encode(),
                                     headers={"Content-Type": "application/json"}, method="POST")
    try:
        urllib.request.urlopen(request, timeout=5)
        return None
    except urllib.error.HTTPError as e:
        return json.loads(e.read())["error"]


def typing_and_reading(port):
    browser = chromium()
    try:
        browser.get(f"http://127.0.0.1:{port}/")
        wait = WebDriverWait(browser, 15)
        wait.until(lambda b: b.find_element(By.ID, "status").text == "live")
        field = browser.find_element(By.ID, "course-input")
        field.clear()
        field.send_keys("400")
        browser.find_element(By.ID, "course-set").click()
        expected = api_error(port, {"course": 400})
        wait.until(lambda b: b.find_element(By.ID, "message").text != "")
        shown = browser.find_element(By.ID, "message").text
        check(expected is not None and shown == expected, f"a course of 400: the page says {shown!r}, the API {expected!r}")

        wait.until(lambda b: "$GPGSV" in b.find_element(By.ID, "nmea").text)
        whole = browser.find_element(By.ID, "nmea").text.split("\n")
        kinds = {line[3:6] for line in whole if line.startswith("$")}
        check({"RMC", "GGA", "GSA", "GSV"} <= kinds, f"the log shows the update whole: {sorted(kinds)}")
        check(len(whole) > 20 or len(whole) == len(set(whole)), "the log is the last update, not its last 20 lines")
        Select(browser.find_element(By.ID, "log-kind")).select_by_value("GSV")
        wait.until(lambda b: all(line.startswith("$G") and line[3:6] == "GSV"
                                 for line in b.find_element(By.ID, "nmea").text.split("\n")))
        gsv = browser.find_element(By.ID, "nmea").text.split("\n")
        check(len(gsv) >= 4, f"one kind of the update: {len(gsv)} GSV sentences of four systems")
    finally:
        browser.quit()


def main():
    port = free_port()
    # Four systems' satellites: a crowded sky, as a user's multi-system receiver sees it.
    simulator = subprocess.Popen([PROGRAM, "--http", f"127.0.0.1:{port}", "--rate", "2", "--time",
                                  "2026-12-08T12:00:00Z", "--gnss", "gps,glonass,galileo,beidou",
                                  "--sentences", "RMC,GGA,GSA,GSV"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        check(wait_for(port), "the live view listens")
        for size in SIZES:
            layout(port, size)
        typing_and_reading(port)
    finally:
        simulator.terminate()
        simulator.wait(timeout=10)
    return report("the live view's layout at three sizes, its checks and its log")


sys.exit(main())
