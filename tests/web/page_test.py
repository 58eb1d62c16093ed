"""The page's end-to-end tests, in headless Chromium: files and folders chosen
through the page's own <input type="file"> elements, each report line's text
and colour compared with korvane-check's, explanations, the network log,
axe-core, and bad input.

    KORVANE_PAGE=build-web KORVANE_CHECK=build/cli/korvane-check \\
    KORVANE_AXE=.../axe.min.js /usr/bin/python3 -m unittest tests/web/page_test.py
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import generate  # noqa: E402
import harness  # noqa: E402
from selenium.webdriver.common.action_chains import ActionChains  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PAGE = os.path.abspath(os.environ.get("KORVANE_PAGE", os.path.join(ROOT, "build-web")))
CHECKER = os.path.abspath(os.environ.get("KORVANE_CHECK", os.path.join(ROOT, "build/cli/korvane-check")))
AXE = os.environ.get("KORVANE_AXE", os.path.join(ROOT, "build-web-tools/node_modules/axe-core/axe.min.js"))
EXAMPLES = os.path.join(ROOT, "examples")
PAGE_FILES = {"index.html", "korvane.css", "korvane.js", "korvane.worker.js",
              "korvane-engine.js", "korvane-engine.wasm"}

server = browser = page = scratch = None


def setUpModule():
    global server, browser, page, scratch
    scratch = tempfile.mkdtemp(prefix="korvane-page-")
    server = harness.StaticServer(PAGE)
    browser = harness.start_browser()
    page = harness.Page(browser, server.origin)
    page.open()


def tearDownModule():
    browser.quit()
    server.close()
    shutil.rmtree(scratch, ignore_errors=True)


class ReportCase(unittest.TestCase):
    def assertSameReport(self, cwd, args, headed=False):
        """The page's report and warnings are korvane-check's for ARGS run in CWD:
        each line's text, and its colour (plain, or red or blue made readable)."""
        text, stderr, objects = harness.korvane_check(CHECKER, cwd, *args)
        shown = page.lines()
        self.assertEqual([line["text"] for line in shown], text, args)
        colours = harness.expected_colours(objects, headed)
        self.assertEqual(len(colours), len(text), "korvane-check's JSON and text disagree")
        background, plain = page.colours()
        for line, colour in zip(shown, colours):
            got = harness.rgb(line["colour"])
            if colour == 0:
                self.assertEqual(got, plain, line["text"])
                continue
            self.assertEqual(harness.hue_degrees(got), 0 if colour == harness.RED else 240,
                             line["text"])
            self.assertGreaterEqual(harness.contrast(got, background), 4.5, line["text"])
            # Lightened just enough, as the windows do: no paler than needed.
            self.assertLess(harness.contrast(got, background), 4.7, line["text"])
        self.assertEqual([line["text"] for line in page.lines("warnings")], stderr, args)


class SingleFiles(ReportCase):
    def alone(self, path):
        """PATH copied into a folder of its own: a file chosen alone is all the
        page has, where korvane-check would also look around it on disk."""
        folder = tempfile.mkdtemp(dir=scratch)
        shutil.copy(path, folder)
        return folder

    def test_every_example_file_alone(self):
        for folder, _, names in os.walk(EXAMPLES):
            for name in sorted(names):
                with self.subTest(file=os.path.join(folder, name)):
                    page.choose("file", [os.path.join(folder, name)])
                    self.assertSameReport(self.alone(os.path.join(folder, name)), [name])
                    self.assertEqual(browser.title, f"{name} - Korvane")

    def test_generated_files(self):
        for path in generate.write_settings(os.path.join(scratch, "generated"), 8):
            with self.subTest(file=path):
                page.choose("file", [path])
                self.assertSameReport(os.path.dirname(path), [os.path.basename(path)])

    def test_conf_alone_names_the_missing_includes(self):
        path = os.path.join(EXAMPLES, "zone", "arenas", "duel", "arena.conf")
        page.choose("file", [path])
        self.assertSameReport(self.alone(path), ["arena.conf"])
        self.assertEqual([line["text"] for line in page.lines("warnings")],
                         ['arena.conf:2: warning: #include "ships.conf" not found (no conf/ships.conf, '
                          'ships.conf or arenas/(default)/ships.conf): its settings are missing'])

    def test_several_files_are_headed(self):
        names = ["server.cfg", "clean.cfg"]
        page.choose("file", [os.path.join(EXAMPLES, n) for n in names])
        self.assertSameReport(EXAMPLES, names, headed=True)
        self.assertEqual(page.lines()[0]["text"], "==> server.cfg <==")

    def test_binary_and_nul_bytes(self):
        folder = os.path.join(scratch, "bad")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "random.bin"), "wb") as f:
            f.write(bytes((i * 7919 + 13) % 256 for i in range(70000)))
        with open(os.path.join(folder, "nul.conf"), "wb") as f:
            f.write(b"[Shark]\nSuperTime=\x000\nShieldsTime=0\n\x00\x00[Warbird]\nInitialSpeed=9\n")
        for name in ("random.bin", "nul.conf"):
            with self.subTest(file=name):
                page.choose("file", [os.path.join(folder, name)])
                self.assertSameReport(folder, [name])


class Zones(ReportCase):
    def test_example_zone_folder(self):
        page.choose("folder", [os.path.join(EXAMPLES, "zone")])
        self.assertSameReport(EXAMPLES, ["zone"], headed=True)
        self.assertEqual(browser.title, "zone - Korvane")
        # Where the arena's values were set, through its includes.
        finding = browser.find_element("css selector", "#report > .explained")
        ActionChains(browser).move_to_element(finding).perform()
        tooltip = browser.find_element("id", "explanation")
        page.wait(tooltip.is_displayed, 5)
        self.assertEqual(tooltip.text, Behaviour.explanations(EXAMPLES, "zone")[0])

    def test_generated_zone_with_cycle_and_missing_include(self):
        zone = generate.write_zone(os.path.join(scratch, "zone-generated"), 6)
        page.choose("folder", [zone])
        self.assertSameReport(scratch, ["zone-generated"], headed=True)
        warned = " ".join(line["text"] for line in page.lines("warnings"))
        self.assertIn("nowhere.conf", warned)
        self.assertIn("loop.conf", warned)


    def test_a_thousand_arenas(self):
        zone = generate.write_zone(os.path.join(scratch, "zone-1000"), 997)
        page.choose("folder", [zone], timeout=300)
        self.assertSameReport(scratch, ["zone-1000"], headed=True)
        self.assertTrue(page.lines()[-1]["text"].startswith("Arenas checked: 1000, with errors: "))


class Behaviour(unittest.TestCase):
    def finding_lines(self):
        return browser.find_elements("css selector", "#report > .explained")

    @staticmethod
    def explanations(cwd, name):
        """korvane-check --explain's explanation of each finding, in order."""
        text = subprocess.run([CHECKER, "--explain", name], cwd=cwd, capture_output=True,
                              text=True).stdout.splitlines()
        found = []
        for line in text:
            if line.startswith("    "):
                found[-1].append(line[4:])
            else:
                found.append([])
        return ["\n".join(lines) for lines in found if lines]

    def test_explanation_on_hover_and_focus(self):
        page.choose("file", [os.path.join(EXAMPLES, "server.cfg")])
        findings = self.finding_lines()
        self.assertEqual([f.text for f in findings],
                         [line["text"] for line in page.lines() if line["cls"].startswith("red")])
        tooltip = browser.find_element("id", "explanation")
        ActionChains(browser).move_to_element(findings[0]).perform()
        page.wait(tooltip.is_displayed, 5)
        hovered = tooltip.text
        self.assertEqual(hovered, self.explanations(EXAMPLES, "server.cfg")[0])
        ActionChains(browser).move_to_element(browser.find_element("tag name", "h1")).perform()
        page.wait(lambda: not tooltip.is_displayed(), 5)
        browser.execute_script("document.activeElement.blur()")
        # The keyboard alone: Tab from the last button reaches the first finding.
        browser.find_element("id", "again").send_keys(Keys.TAB)  # a button: keys go to it
        self.assertEqual(browser.switch_to.active_element, findings[0])
        page.wait(tooltip.is_displayed, 5)
        self.assertEqual(tooltip.text, hovered)
        browser.switch_to.active_element.send_keys(Keys.ESCAPE)
        self.assertFalse(tooltip.is_displayed())

    def test_keyboard_reaches_the_pickers(self):
        page.open()
        order = []
        for _ in range(2):
            ActionChains(browser).send_keys(Keys.TAB).perform()
            order.append(browser.switch_to.active_element.get_attribute("id"))
        self.assertEqual(order, ["file", "folder"])
        pickers = browser.find_elements("css selector", "input[type=file]")
        self.assertEqual([p.get_dom_attribute("webkitdirectory") for p in pickers], [None, ""])

    def test_check_again_rereads_a_chosen_file(self):
        path = os.path.join(scratch, "again", "server.cfg")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        shutil.copy(os.path.join(EXAMPLES, "server.cfg"), path)
        page.choose("file", [path])
        first = page.lines()
        page.click_and_wait("again")
        self.assertEqual(page.lines(), first)
        # A chosen file is the browser's snapshot: changed, it must be chosen again.
        time.sleep(1.1)
        shutil.copy(os.path.join(EXAMPLES, "clean.cfg"), path)
        page.click_and_wait("again")
        self.assertEqual(page.lines(), [])
        self.assertIn("server.cfg changed since it was chosen", page.status())


    def test_nothing_leaves_the_browser(self):
        """Chromium's own log of every request, the worker's included."""
        net_log = os.path.join(scratch, "net-log.json")
        own = harness.start_browser(net_log)
        try:
            mine = harness.Page(own, server.origin)
            mine.open()
            zone = generate.write_zone(os.path.join(scratch, "zone-network"), 3)
            mine.choose("folder", [zone])
            mine.choose("file", [os.path.join(EXAMPLES, "server.cfg")])
            mine.drop([os.path.join(EXAMPLES, "clean.cfg")])
            self.assertEqual(mine.status(), "Checked.")
        finally:
            own.quit()
        requested = set()
        for url in harness.net_log_urls(net_log, "http://127.0.0.1"):
            self.assertTrue(url.startswith(server.origin + "/"), url)
            requested.add(url[len(server.origin) + 1:])
        self.assertEqual(requested, PAGE_FILES)

    def test_no_serious_accessibility_violation(self):
        page.choose("file", [os.path.join(EXAMPLES, "server.cfg")])
        ActionChains(browser).move_to_element(self.finding_lines()[0]).perform()
        with open(AXE, encoding="utf-8") as f:
            browser.execute_script(f.read())
        result = browser.execute_async_script(
            "const done = arguments[0]; axe.run(document).then((r) => done(r.violations));")
        serious = [(v["id"], v["impact"], len(v["nodes"])) for v in result
                   if v["impact"] in ("serious", "critical")]
        self.assertEqual(serious, [])

    def test_page_weight_at_most_one_mebibyte(self):
        total = sum(os.path.getsize(os.path.join(PAGE, name)) for name in PAGE_FILES)
        self.assertLessEqual(total, 1 << 20)
        self.assertEqual(set(os.listdir(PAGE)) - {"README"}, PAGE_FILES)

    def test_stays_responsive_with_progress_on_a_huge_file(self):
        path = os.path.join(scratch, "huge.cfg")
        block = generate.settings_text(3).encode()
        with open(path, "wb") as f:
            for _ in range((64 << 20) // len(block) + 1):
                f.write(block)
        before = page.checks()
        browser.find_element("id", "file").send_keys(path)
        page.wait(lambda: browser.execute_script("return document.body.dataset.state") == "checking", 30)
        # While the worker checks, the page's own thread answers at once.
        started = time.monotonic()
        state = browser.execute_async_script(
            "const done = arguments[0]; setTimeout(() => done(document.body.dataset.state), 0);")
        self.assertLess(time.monotonic() - started, 1.0)
        self.assertEqual(state, "checking")
        self.assertTrue(browser.find_element("id", "progress").is_displayed())
        self.assertRegex(page.status(), r"^(Reading|Checking) ")
        page.wait(lambda: page.checks() > before, 300)
        text, _, _ = harness.korvane_check(CHECKER, scratch, "huge.cfg")
        self.assertEqual([line["text"] for line in page.lines()], text)


class Dropped(ReportCase):
    def test_dropped_zone_folder_checked_again_with_its_changes(self):
        folder = os.path.join(scratch, "dropped")
        shutil.copytree(os.path.join(EXAMPLES, "zone"), os.path.join(folder, "zone"))
        page.drop([os.path.join(folder, "zone")])
        self.assertSameReport(folder, ["zone"], headed=True)
        self.assertEqual(browser.title, "zone - Korvane")
        generate.write(os.path.join(folder, "zone", "arenas", "duel", "arena.conf"),
                       "#include ships.conf\n[Shark]\nSuperTime=0\n")
        generate.write(os.path.join(folder, "zone", "arenas", "new", "arena.conf"), "[Misc]\n")
        page.click_and_wait("again")
        self.assertSameReport(folder, ["zone"], headed=True)
        self.assertIn("==> zone/arenas/new/arena.conf <==", [line["text"] for line in page.lines()])

    def test_dropped_file(self):
        page.drop([os.path.join(EXAMPLES, "server.cfg")])
        self.assertSameReport(EXAMPLES, ["server.cfg"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
