"""A scenario's fleet in the live view, in headless Chromium driven by
Selenium: every vessel is in the chooser, the events are listed with the
next one marked as the run passes them, choosing a vessel moves the panel
to it, and a course set in the page steers that vessel's stream and no
other. A screenshot of the view goes to the path given. Everything talks
over loopback; every wait is bounded."""
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

from checks import check, chromium, free_port, report, wait_for

PROGRAM, SCREENSHOT = sys.argv[1], sys.argv[2]

SCENARIO = """\
start: 2026-12-08T12:00:00Z
rate: 2
vessels:
  - name: Ferry
    position: {{lat: 54.32, lon: 10.15}}
    speed: 6
    course: 45
    outputs: [{{udp: "127.0.0.1:{ferry}"}}]
  - name: Tug
    position: {{lat: 54.40, lon: 10.20}}
    speed: 4
    course: 270
    receiver: {{profile: classic}}
    outputs: [{{udp: "127.0.0.1:{tug}"}}]
  - name: Pilot
    position: {{lat: 54.35, lon: 10.25}}
    speed: 12
    course: 180
    outputs: [{{udp: "127.0.0.1:{pilot}"}}]
events:
  - {{at: 8, vessel: Ferry, course: 90}}
  - {{at: 14, vessel: Pilot, speed: 8}}
  - {{at: 900, vessel: all, outage: 10}}
"""


def listen(port, courses, talker_rmc):
    """Keeps the course of every RMC that comes to `port`."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
        sock.bind(("127.0.0.1", port))
        sock.settimeout(0.5)
        deadline = time.monotonic() + 90
        while time.monotonic() < deadline:
            try:
                data = sock.recv(65536).decode("ascii", "replace")
            except socket.timeout:
                continue
            for line in data.splitlines():
                if line[3:6] == "RMC" and line.startswith(talker_rmc):
                    courses.append(line.split(",")[8])


def main():
    http, ferry, tug, pilot = (free_port() for _ in range(4))
    streams = {"Ferry": [], "Tug": []}
    for name, port, talker in (("Ferry", ferry, "$GN"), ("Tug", tug, "$GP")):
        threading.Thread(target=listen, args=(port, streams[name], talker), daemon=True).start()
    with tempfile.TemporaryDirectory() as folder:
        scenario = os.path.join(folder, "harbour.yaml")
        with open(scenario, "w") as file:
            file.write(SCENARIO.format(ferry=ferry, tug=tug, pilot=pilot))
        simulator = subprocess.Popen([PROGRAM, "--scenario", scenario, "--http", f"127.0.0.1:{http}"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        browser = chromium()
        try:
            wait_for(http)
            browser.get(f"http://127.0.0.1:{http}/")
            wait = WebDriverWait(browser, 15)
            wait.until(lambda b: b.find_element(By.ID, "fleet").text == "3 vessels")
            chooser = Select(browser.find_element(By.ID, "vessel"))
            check([o.text for o in chooser.options] == ["Ferry", "Tug", "Pilot"], "every vessel is in the chooser")

            def listed(selector):
                return browser.execute_script(
                    f"return Array.from(document.querySelectorAll('{selector}')).map((item) => item.textContent)")

            # The outage of 10 s is its start and its end.
            items = listed("#events li")
            check(items == ["8 s · Ferry · course 90", "14 s · Pilot · speed 8", "900 s · all · outage on",
                            "910 s · all · outage off"], f"the events are listed: {items}")

            def marked():
                return listed("#events li.next")

            # The mark moves on as the run passes each event; the last is far ahead.
            wait = WebDriverWait(browser, 25)
            wait.until(lambda b: any("course 90" in t for t in marked()))
            wait.until(lambda b: any("speed 8" in t for t in marked()))
            wait.until(lambda b: any("outage" in t for t in marked()))
            check(len(listed("#events li.done")) == 2, "the events passed are done")

            chooser.select_by_visible_text("Tug")
            wait.until(lambda b: b.find_element(By.ID, "position").text.startswith("54° 2"))
            check("54° 24." in browser.find_element(By.ID, "position").text,
                  f"the panel follows the tug: {browser.find_element(By.ID, 'position').text}")
            field = browser.find_element(By.ID, "course-input")
            field.clear()
            field.send_keys("200")
            browser.find_element(By.ID, "course-set").click()
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline and 200.0 not in map(float, streams["Tug"][-3:]):
                time.sleep(0.1)
            check(200.0 in map(float, streams["Tug"][-3:]), f"the tug's stream turns to 200: {streams['Tug'][-5:]}")
            # The ferry goes on turning to its own 090, as the event told it to.
            check(streams["Ferry"] and 45 <= float(streams["Ferry"][-1]) <= 90,
                  f"the ferry keeps its own course: {streams['Ferry'][-3:]}")
            wait.until(lambda b: b.find_element(By.ID, "course").text == "200.0°")
            chooser.select_by_visible_text("Ferry")  # its sky, its route, the others around it
            wait.until(lambda b: b.find_element(By.ID, "position").text.startswith("54° 19"))
            for _ in range(3):  # the whole harbour in sight
                browser.find_element(By.ID, "zoom-out").click()
            time.sleep(1.5)
            os.makedirs(os.path.dirname(SCREENSHOT), exist_ok=True)
            browser.save_screenshot(SCREENSHOT)
            print("screenshot at", SCREENSHOT)
        finally:
            browser.quit()
            simulator.terminate()
            simulator.wait(timeout=10)
    return report("the fleet in the live view")


sys.exit(main())
