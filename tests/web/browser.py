"""The live view in a real browser (headless Chromium driven by Selenium):
the page shows the position, the course is set through its control, and the
NMEA stream's course follows; then a screenshot of what a user sees.
Everything talks over loopback; every wait is bounded."""
import os
import subprocess
import sys
import threading
import time

from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

from checks import chromium, free_port, wait_for

PROGRAM, SCREENSHOT = sys.argv[1], sys.argv[2]


def main():
    port = free_port()
    simulator = subprocess.Popen([PROGRAM, "--http", f"127.0.0.1:{port}", "--rate", "5", "--sentences",
                                  "RMC,GGA,GSA,GSV"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    courses = []
    reader = threading.Thread(target=lambda: [courses.append(line.split(",")[8]) for line in simulator.stdout
                                              if line.startswith("$GNRMC,")], daemon=True)
    reader.start()
    browser = chromium()
    try:
        wait_for(port)
        browser.get(f"http://127.0.0.1:{port}/")
        wait = WebDriverWait(browser, 15)
        wait.until(lambda b: "°" in b.find_element(By.ID, "position").text)
        wait.until(lambda b: b.find_element(By.ID, "status").text == "live")
        print("position shown:", browser.find_element(By.ID, "position").text)
        field = browser.find_element(By.ID, "course-input")
        field.clear()
        field.send_keys("123.4")
        browser.find_element(By.ID, "course-set").click()
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and "123.40" not in courses[-3:]:
            time.sleep(0.1)
        if "123.40" not in courses[-3:]:
            print(f"the stream's course did not follow the page: {courses[-5:]}", file=sys.stderr)
            return 1
        wait.until(lambda b: b.find_element(By.ID, "course").text == "123.4°")
        time.sleep(1.5)  # a little track behind the vessel
        os.makedirs(os.path.dirname(SCREENSHOT), exist_ok=True)
        browser.save_screenshot(SCREENSHOT)
        print("course set in the page, followed by the stream; screenshot at", SCREENSHOT)
        return 0
    finally:
        browser.quit()
        simulator.terminate()
        simulator.wait(timeout=10)


sys.exit(main())
