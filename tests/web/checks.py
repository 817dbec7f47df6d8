"""What the live view's tests share: the checks that failed, a free
loopback port, a server waited for, headless Chromium, and the report at
the end."""
import socket
import sys
import time

problems = []


def check(condition, what):
    if not condition:
        problems.append(what)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for(port):
    """Whether something listens on the loopback port within five seconds."""
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
            return True
        except OSError:
            time.sleep(0.05)
    return False


def chromium(size="1180,1180"):
    """Debian's Chromium, headless, driven by Selenium; quit() it when done."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", f"--window-size={size}",
                     "--disable-dev-shm-usage", "--no-proxy-server"):
        options.add_argument(argument)
    options.binary_location = "/usr/bin/chromium"
    browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    browser.set_page_load_timeout(20)
    return browser


def report(what):
    """Prints every problem and the count; the exit status to end with."""
    for problem in problems:
        print("FAILED:", problem, file=sys.stderr)
    print(f"{what}: {len(problems)} problems")
    return 1 if problems else 0
