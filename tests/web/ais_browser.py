"""AIS targets in the live view, in headless Chromium driven by Selenium:
the example's ferry on a collision course, its tug and its yacht, with a
SART under test and an AtoN, are listed with their kinds, range, bearing,
CPA and TCPA; the ferry's CPA alarm is on and goes off when the alarm's
time is shortened below its TCPA; the SART is shown as one. A screenshot
of the view goes to the path given. Everything talks over loopback; every
wait is bounded."""
import os
import re
import subprocess
import sys
import tempfile
import time

from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

from checks import check, chromium, free_port, report, wait_for

PROGRAM, SCENARIO, SCREENSHOT = sys.argv[1], sys.argv[2], sys.argv[3]

EXTRA = """\
ais_targets:
  - {class: sart, mmsi: 970123456, test: true, lat: 54.385, lon: 10.160}
  - {class: aton, mmsi: 992111111, name: KIEL LIGHT, aid: 9, lat: 54.375, lon: 10.185}
"""


def rows(browser):
    """The target list: each row's MMSI, class and cells."""
    return browser.execute_script("""
        return Array.from(document.querySelectorAll('#targets tbody tr')).map((row) => ({
          mmsi: Number(row.dataset.mmsi), className: row.className,
          cells: Array.from(row.cells).map((cell) => cell.textContent)}));""")


def main():
    with open(SCENARIO) as file:
        text = re.sub(r"    outputs:\n(      - .*\n)+", "", file.read())  # nothing sent to the plotter's ports
    http = free_port()
    with tempfile.TemporaryDirectory() as folder:
        scenario = os.path.join(folder, "ais.yaml")
        with open(scenario, "w") as file:
            file.write(text + EXTRA)
        simulator = subprocess.Popen([PROGRAM, "--scenario", scenario, "--http", f"127.0.0.1:{http}"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        browser = chromium("1180,1400")
        try:
            wait_for(http)
            browser.get(f"http://127.0.0.1:{http}/")
            wait = WebDriverWait(browser, 15)
            wait.until(lambda b: len(rows(b)) == 5)
            listed = {row["mmsi"]: row for row in rows(browser)}
            check(211000001 not in listed, "own ship is not its own target")
            ferry, light, sart = listed.get(211000002), listed.get(992111111), listed.get(970123456)
            check(ferry and "alarm" in ferry["className"], f"the ferry's CPA alarm is on: {ferry}")
            check(ferry and ferry["cells"][:2] == ["KIEL FERRY (211000002)", "class A"], f"the ferry's row: {ferry}")
            # A collision course keeps its bearing while the range closes.
            check(ferry and ferry["cells"][3] == "030°" and ferry["cells"][4] == "0.00 nm",
                  f"the ferry bears 030 and passes at 0: {ferry}")
            check(light and "alarm" not in light["className"] and light["cells"][:2] == ["KIEL LIGHT (992111111)", "AtoN"],
                  f"the light, passed at near a mile, raises no alarm: {light}")
            check(listed.get(211000004, {}).get("cells", ["", ""])[1] == "class B", "the yacht is a class B")
            check(sart and sart["cells"][1] == "SART test" and "safety" in sart["className"],
                  f"the SART is shown as one: {sart}")
            first = float(ferry["cells"][2].split()[0]) if ferry else 0
            time.sleep(2.5)
            now = {row["mmsi"]: row for row in rows(browser)}.get(211000002)
            check(now and float(now["cells"][2].split()[0]) < first, f"the ferry closes: {first} then {now}")

            os.makedirs(os.path.dirname(SCREENSHOT), exist_ok=True)
            for _ in range(3):  # the whole encounter in sight
                browser.find_element(By.ID, "zoom-out").click()
            time.sleep(1.2)
            browser.save_screenshot(SCREENSHOT)

            limit = browser.find_element(By.ID, "tcpa-alarm")
            limit.clear()
            limit.send_keys("5")  # the ferry is still more than five minutes away
            wait.until(lambda b: "alarm" not in {r["mmsi"]: r for r in rows(b)}[211000002]["className"])
            print("screenshot at", SCREENSHOT)
        finally:
            browser.quit()
            simulator.terminate()
            simulator.wait(timeout=10)
    return report("AIS targets in the live view")


sys.exit(main())
