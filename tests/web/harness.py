"""The page in a real browser, for its tests and benchmark: the built page
served from a local static server, Debian's Chromium driven headless through
chromium-driver, and korvane-check run natively for what the page must show.
"""

import colorsys
import functools
import http.server
import json
import os
import subprocess
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

RED, BLUE = 0x0000FF, 0xFF0000  # 0x00BBGGRR, as korvane-check --format=json gives


class StaticServer:
    """The page's folder over HTTP on the loopback, as any static host serves it."""

    def __init__(self, folder):
        handler = functools.partial(QuietHandler, directory=folder)
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.origin = f"http://127.0.0.1:{self.httpd.server_address[1]}"
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def start_browser(net_log=None):
    """Headless Chromium that keeps the log of every request the page makes;
    with NET_LOG, also Chromium's own log of every request of every process
    (the workers' too), written there when the browser quits."""
    options = webdriver.ChromeOptions()
    if net_log:
        options.add_argument(f"--log-net-log={net_log}")
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                 "--disable-background-networking", "--disable-component-update",
                 "--disable-sync", "--no-first-run", "--disable-extensions",
                 "--disable-default-apps", "--window-size=1200,900",
                 "--no-default-browser-check", "--disable-domain-reliability",
                 "--disable-client-side-phishing-detection", "--no-pings",
                 # Names resolve to nothing but the loopback: Chromium's own
                 # background requests never leave the machine either.
                 "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1"):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"performance": "ALL"})
    driver = webdriver.Chrome(service=Service(executable_path="/usr/bin/chromedriver"),
                              options=options)
    driver.set_script_timeout(120)
    return driver


class Page:
    """The page open in the browser, with the ways a user takes files to it."""

    def __init__(self, driver, origin):
        self.driver = driver
        self.origin = origin

    def open(self):
        self.driver.get(self.origin + "/index.html")
        self.wait(lambda: self.driver.execute_script("return document.readyState") == "complete")

    def checks(self):
        return int(self.driver.execute_script("return document.body.dataset.checks || 0"))

    def wait(self, condition, timeout=120):
        end = time.monotonic() + timeout
        while not condition():
            if time.monotonic() > end:
                raise TimeoutError("the page did not get there in time")
            time.sleep(0.02)

    def choose(self, input_id, paths, timeout=120):
        """Chooses files (or, for the folder picker, a folder) and waits for the report."""
        before = self.checks()
        picker = self.driver.find_element("id", input_id)
        picker.send_keys("\n".join(os.path.abspath(p) for p in paths))
        self.wait(lambda: self.checks() > before, timeout)

    def drop(self, paths, timeout=120):
        """Drags files or folders from outside the browser onto the drop area."""
        before = self.checks()
        area = self.driver.find_element("id", "drop").rect
        at = {"x": area["x"] + area["width"] / 2, "y": area["y"] + area["height"] / 2}
        data = {"items": [], "files": [os.path.abspath(p) for p in paths], "dragOperationsMask": 1}
        for kind in ("dragEnter", "dragOver", "drop"):
            self.driver.execute_cdp_cmd("Input.dispatchDragEvent", {"type": kind, **at, "data": data})
        self.wait(lambda: self.checks() > before, timeout)

    def click_and_wait(self, element_id, timeout=120):
        before = self.checks()
        self.driver.find_element("id", element_id).click()
        self.wait(lambda: self.checks() > before, timeout)

    def lines(self, element_id="report"):
        """Each line of the report: its text, computed colour and class."""
        return self.driver.execute_script(
            """return [...document.getElementById(arguments[0]).children].map((e) => ({
                 text: e.textContent, colour: getComputedStyle(e).color,
                 cls: e.className}));""", element_id)

    def colours(self):
        """The report's background and text colours, as (r, g, b)."""
        got = self.driver.execute_script(
            """const s = getComputedStyle(document.getElementById('report'));
               return [s.backgroundColor, s.color];""")
        return tuple(rgb(c) for c in got)

    def status(self):
        return self.driver.find_element("id", "status").text

    def requests(self):
        """The URL of every request the page made since the last call."""
        urls = []
        for entry in self.driver.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            if message["method"] == "Network.requestWillBeSent":
                urls.append(message["params"]["request"]["url"])
        return urls


def rgb(css):
    """(r, g, b) of a computed CSS colour "rgb(r, g, b)"."""
    inside = css[css.index("(") + 1:css.index(")")]
    return tuple(int(float(part)) for part in inside.split(",")[:3])


def contrast(a, b):
    """WCAG 2 contrast ratio of two (r, g, b) colours."""
    def luminance(colour):
        def linear(c):
            c /= 255
            return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
        r, g, b = colour
        return 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b)
    la, lb = luminance(a), luminance(b)
    return (max(la, lb) + 0.05) / (min(la, lb) + 0.05)


def hue_degrees(colour):
    h, _, _ = colorsys.rgb_to_hls(*(c / 255 for c in colour))
    return round(h * 360) % 360


def korvane_check(checker, cwd, *args):
    """korvane-check's text report lines, stderr lines and JSON objects for ARGS."""
    text = subprocess.run([checker, "--color=never", *args], cwd=cwd, capture_output=True,
                          text=True, errors="replace")
    as_json = subprocess.run([checker, "--format=json", *args], cwd=cwd, capture_output=True,
                             text=True, errors="replace")
    objects = [json.loads(line) for line in as_json.stdout.splitlines()]
    return text.stdout.splitlines(), text.stderr.splitlines(), objects


def expected_colours(objects, headed):
    """Each text line's colour, from korvane-check's JSON, in the text report's order."""
    colours = []
    for i, obj in enumerate(o for o in objects if "lines" in o):
        if headed:
            colours += ([0] if i else []) + [0]  # the blank line between, the heading
        colours += [line["colour"] for line in obj["lines"]]
    if any("zone" in o for o in objects):
        colours += [0, 0]  # the blank line and the zone's closing line
    return colours


def net_log_urls(path, site):
    """The URL of every request Chromium's network log has started for pages
    of SITE (http://127.0.0.1), their workers' too: each carries the site of
    its page in its network isolation key, whatever host it goes to."""
    with open(path, encoding="utf-8") as f:
        log = json.load(f)
    start = log["constants"]["logEventTypes"]["URL_REQUEST_START_JOB"]
    urls = set()
    for event in log["events"]:
        params = event.get("params", {})
        if event["type"] == start and params.get("network_isolation_key", "").startswith(site + " "):
            urls.add(params["url"])
    return urls
