#!/usr/bin/env python3
"""The phone remote's page in a real browser: headless Chromium at a phone's size drives the page
served by `orvexctl serve`, which holds the link to `orvex-sim --trace`; what the page does is checked
on the processor's side, in the frames the simulator received. Everything runs on 127.0.0.1.

    remote_page_browser.py --sim ORVEX_SIM --ctl ORVEXCTL [--chromium PATH] [--chromedriver PATH]
                           [--shots DIR]

A missing browser, driver or Selenium is a failure, never a skip.
"""

import argparse
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import threading
import time
import unittest
import urllib.request

ARGS = None
PIN = "123456"
WIDTH, HEIGHT = 360, 740


class Program:
    """A program whose output lines are collected on a thread of their own."""

    def __init__(self, args):
        self.lines = []
        self.lock = threading.Lock()
        self.process = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                        errors="replace")
        for stream in (self.process.stdout, self.process.stderr):
            threading.Thread(target=self._collect, args=(stream,), daemon=True).start()

    def _collect(self, stream):
        for line in stream:
            with self.lock:
                self.lines.append(line.rstrip("\n"))

    def snapshot(self):
        with self.lock:
            return list(self.lines)

    def wait_for_line(self, pattern, timeout=10):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for line in self.snapshot():
                match = re.search(pattern, line)
                if match:
                    return match
            if self.process.poll() is not None:
                break
            time.sleep(0.05)
        raise AssertionError("no line matching %r from %s; it printed:\n%s"
                             % (pattern, self.process.args[0], "\n".join(self.snapshot())))

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def eventually(check, timeout=10, message="condition never held"):
    from selenium.common.exceptions import StaleElementReferenceException

    deadline = time.monotonic() + timeout
    while True:
        try:
            value = check()
        except StaleElementReferenceException:
            value = None  # the page rebuilt its controls under the look: look again
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(message)
        time.sleep(0.05)


def percent_frame(percent):
    # The ribbon volumes' parameter write: cmd 1, sub 14 (mic master volume), one float word of
    # percent / 100 with the processor's half-per-mille rounding.
    word = struct.pack(">f", percent / 100.0 + 0.0005)
    return "81 09 00 01 0E 01 " + " ".join("%02X" % b for b in word)


MUTE_ON_FRAME = "81 09 00 01 0F 01 00 00 00 00"   # mic mute: the channel's gain 0.0
MUTE_OFF_FRAME = "81 09 00 01 0F 01 3F 80 00 00"  # unmuted: gain 1.0


class RemotePageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service

        cls.sim = Program([ARGS.sim, "--port", "0", "--heartbeat", "200", "--trace"])
        sim_port = int(cls.sim.wait_for_line(r"serving 127\.0\.0\.1:(\d+)").group(1))
        cls.serve = None
        cls.start_server(sim_port, "0")
        cls.sim_port = sim_port

        options = webdriver.ChromeOptions()
        options.binary_location = ARGS.chromium
        for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--lang=en-US",
                     "--window-size=%d,%d" % (WIDTH, HEIGHT)):
            options.add_argument(flag)
        options.add_experimental_option("prefs", {"intl.accept_languages": "en-US,en"})
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        options.add_experimental_option("mobileEmulation", {
            "deviceMetrics": {"width": WIDTH, "height": HEIGHT, "pixelRatio": 2.0, "touch": True},
            "userAgent": "Mozilla/5.0 (Linux; Android 13; Phone) AppleWebKit/537.36 (KHTML, like Gecko) "
                         "Chrome/120.0 Mobile Safari/537.36"})
        cls.driver = webdriver.Chrome(service=Service(executable_path=ARGS.chromedriver), options=options)
        cls.driver.set_page_load_timeout(20)

    @classmethod
    def start_server(cls, sim_port, web_port):
        cls.serve = Program([ARGS.ctl, "--connect", "127.0.0.1:%d" % sim_port, "serve", "--listen",
                             "127.0.0.1:%s" % web_port, "--pin", PIN])
        cls.web_port = int(cls.serve.wait_for_line(r"phone remote at http://127\.0\.0\.1:(\d+)/").group(1))
        cls.url = "http://127.0.0.1:%d/" % cls.web_port
        # Connected, with the smart-home tables read, before the page is opened.
        token = json.loads(cls.post("/api/pair", {"pin": PIN}))["token"]

        def ready():
            try:
                state = cls.get_state(token)
            except OSError:
                return False
            return state["connected"] and state["plugs"] and state["scenes"][5]["commands"] > 0

        eventually(ready, 15, "the processor never showed up behind the server")

    @classmethod
    def post(cls, path, body, token=None):
        headers = {"Content-Type": "application/json"}
        if token:
            headers["Authorization"] = "Bearer " + token
        request = urllib.request.Request(cls.url + path.lstrip("/"), data=json.dumps(body).encode(), headers=headers)
        return urllib.request.urlopen(request, timeout=5).read()

    @classmethod
    def get_state(cls, token):
        request = urllib.request.Request(cls.url + "api/state", headers={"Authorization": "Bearer " + token})
        return json.loads(urllib.request.urlopen(request, timeout=5).read())

    @classmethod
    def tearDownClass(cls):
        if getattr(cls, "driver", None):
            cls.driver.quit()
        for program in (cls.serve, cls.sim):
            if program:
                program.stop()

    def tearDown(self):
        # Anything the page's policy blocked (an inline script or style) or a script error shows here.
        problems = [entry["message"] for entry in self.driver.get_log("browser")
                    if "Content Security Policy" in entry["message"] or "Uncaught" in entry["message"]]
        self.assertEqual(problems, [])

    # ---- helpers ----

    def fresh_page(self):
        self.driver.get(self.url)
        self.driver.execute_script("sessionStorage.clear(); localStorage.clear();")
        self.driver.get(self.url)
        self.wait_visible("#pair")

    def q(self, selector):
        from selenium.webdriver.common.by import By
        return self.driver.find_element(By.CSS_SELECTOR, selector)

    def wait_visible(self, selector, timeout=10):
        from selenium.webdriver.common.by import By
        return eventually(lambda: next((e for e in self.driver.find_elements(By.CSS_SELECTOR, selector)
                                        if e.is_displayed()), None),
                          timeout, "%s never showed" % selector)

    def pair(self, pin=PIN):
        field = self.wait_visible("input[name=pin]")
        field.clear()
        field.send_keys(pin)
        self.q("#pair button[type=submit]").click()

    def pair_and_wait(self):
        self.pair()
        return self.wait_enabled('input[type=range][data-field="micMasterVolume"]')

    def wait_enabled(self, selector):
        from selenium.webdriver.common.by import By
        return eventually(lambda: next((e for e in self.driver.find_elements(By.CSS_SELECTOR, selector)
                                        if e.is_displayed() and e.is_enabled()), None),
                          10, "%s never showed enabled" % selector)

    def no_sideways_scroll(self):
        width = self.driver.execute_script("return document.documentElement.scrollWidth")
        self.assertLessEqual(width, WIDTH, "the page scrolls sideways on a %d-px phone" % WIDTH)

    def volume_frames(self, since):
        return [m for m in self.received()[since:] if m.startswith("81 09 00 01 0E ")]

    def received(self):
        return [line[3:] for line in self.sim.snapshot() if line.startswith("rx ")]

    def shoot(self, name):
        if ARGS.shots:
            os.makedirs(ARGS.shots, exist_ok=True)
            # The whole page, not just the first screen: the body's height at the phone's width.
            height = self.driver.execute_script("return document.documentElement.scrollHeight")
            self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                "width": WIDTH, "height": max(HEIGHT, height), "deviceScaleFactor": 2, "mobile": True})
            self.driver.save_screenshot(os.path.join(ARGS.shots, name + ".png"))
            self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                "width": WIDTH, "height": HEIGHT, "deviceScaleFactor": 2, "mobile": True})

    # ---- tests ----

    def test_1_a_wrong_pin_is_reported_and_nothing_scrolls_sideways(self):
        self.fresh_page()
        self.no_sideways_scroll()
        self.assertEqual(self.q("input[name=pin]").get_attribute("inputmode"), "numeric")
        self.pair("123")
        self.assertIn("six digits", self.wait_visible("#pair-error").text)
        self.pair("000000")
        error = self.wait_visible("#pair-error")
        self.assertIn("Wrong PIN", error.text)
        self.assertFalse(self.q("#remote").is_displayed())
        self.shoot("pin-en")

    def test_2_the_mic_slider_and_mute_reach_the_processor(self):
        from selenium.webdriver.common.keys import Keys

        self.fresh_page()
        slider = self.pair_and_wait()
        self.no_sideways_scroll()
        # The slider ends where the processor's machine settings stop the mic volume.
        token = json.loads(self.post("/api/pair", {"pin": PIN}))["token"]
        limit = self.get_state(token)["limits"]["micMasterVolume"]
        self.assertLess(limit, 100)
        eventually(lambda: slider.get_attribute("max") == str(limit), 10,
                   "the mic slider does not end at the machine settings' %d" % limit)
        start = int(slider.get_attribute("value"))
        key, step = (Keys.ARROW_RIGHT, 1) if start <= 90 else (Keys.ARROW_LEFT, -1)
        before = len(self.received())
        for _ in range(5):
            slider.send_keys(key)
        target = start + 5 * step
        eventually(lambda: percent_frame(target) in self.received()[before:], 10,
                   "the processor never got the mic volume %d %%: %s" % (target, self.received()[before:]))
        # Whatever went out while the keys were pressed, the last mic volume message is the final value.
        self.assertEqual(self.volume_frames(before)[-1], percent_frame(target))

        mute = self.wait_enabled('[data-field="micMute"]')
        was = mute.get_attribute("aria-pressed") == "true"
        before = len(self.received())
        mute.click()
        frame = MUTE_OFF_FRAME if was else MUTE_ON_FRAME
        eventually(lambda: frame in self.received()[before:], 10, "the processor never got the mic mute")
        # The button follows the processor's state as the event stream reports it.
        eventually(lambda: self.q('[data-field="micMute"]').get_attribute("aria-pressed") == str(not was).lower(),
                   10, "the mute button never showed the new state")

        # A reload keeps the pairing.
        self.driver.refresh()
        self.wait_enabled('input[type=range][data-field="micMasterVolume"]')
        self.assertFalse(self.q("#pairing").is_displayed())

    def test_3_a_dragged_thumb_stays_under_the_finger_and_its_last_value_is_sent(self):
        from selenium.webdriver.common.action_chains import ActionChains

        self.fresh_page()
        slider = self.pair_and_wait()
        selector = 'label.slider[data-label="micMasterVolume"] output'
        before = len(self.received())
        ActionChains(self.driver).click_and_hold(slider).move_by_offset(-40, 0).perform()
        held = int(slider.get_attribute("value"))
        # Another phone moves the same volume while the finger is still on the thumb.
        # Away from both ends: the machine settings may cap the volume below 100.
        other = 90 if held < 50 else 5
        token = json.loads(self.post("/api/pair", {"pin": PIN}))["token"]
        self.post("/api/set", {"field": "micMasterVolume", "value": other}, token)
        eventually(lambda: percent_frame(other) in self.received()[before:], 10, "the other phone's set never arrived")
        time.sleep(0.5)  # its event has reached the page by now
        self.assertEqual(int(slider.get_attribute("value")), held, "an event moved the thumb under the finger")
        ActionChains(self.driver).move_by_offset(-20, 0).release().perform()
        final = int(slider.get_attribute("value"))
        self.assertNotEqual(final, other)
        eventually(lambda: self.volume_frames(before)[-1:] == [percent_frame(final)], 10,
                   "the released value was not the last one sent: %s" % self.volume_frames(before))
        # Once the echoes have settled the page shows what the processor holds: the finger's value.
        time.sleep(1.5)
        self.assertEqual(int(slider.get_attribute("value")), final)
        self.assertEqual(self.q(selector).text, str(final))

    def test_4_the_language_switch_relabels_the_controls(self):
        self.fresh_page()
        self.pair_and_wait()
        caption = 'label.slider[data-label="micMasterVolume"] .name'
        self.assertEqual(self.q(caption).text, "Mic volume")
        self.shoot("remote-en")
        self.q("#lang").click()
        self.assertEqual(self.q(caption).text, "话筒音量")
        self.assertEqual(self.q('[data-field="micMute"]').text.splitlines()[0], "话筒静音")
        self.no_sideways_scroll()
        self.shoot("remote-zh")
        self.q("#lang").click()
        self.assertEqual(self.q(caption).text, "Mic volume")

        # A phone set to Chinese gets Chinese without touching the switch.
        script = self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {
            "source": "Object.defineProperty(navigator, 'language', {get: () => 'zh-CN'});"})
        try:
            self.driver.execute_script("localStorage.clear();")
            self.driver.refresh()
            self.wait_enabled('input[type=range][data-field="micMasterVolume"]')
            self.assertEqual(self.q(caption).text, "话筒音量")
            self.assertEqual(self.q("#lang").text, "English")
        finally:
            self.driver.execute_cdp_cmd("Page.removeScriptToEvaluateOnNewDocument", script)

    def test_5a_modes_source_plugs_and_a_dimmer_change_the_room(self):
        from selenium.webdriver.common.keys import Keys
        from selenium.webdriver.support.select import Select

        self.fresh_page()
        self.pair_and_wait()
        token = json.loads(self.post("/api/pair", {"pin": PIN}))["token"]
        state = lambda: self.get_state(token)

        self.q('[data-mode="2"]').click()
        eventually(lambda: state()["mode"] == 2, 10, "mode memory 2 was never loaded")
        eventually(lambda: self.q('[data-mode="2"]').get_attribute("aria-pressed") == "true", 10, "M2 not marked")
        self.assertEqual(self.q('[data-mode="1"]').get_attribute("aria-pressed"), "false")

        Select(self.q('select[data-field="musicSource"]')).select_by_visible_text("AUX")
        eventually(lambda: state()["fields"]["musicSource"] == 4, 10, "the music source never changed")

        lamp = next(p for p in state()["plugs"] if p["type"] == "switch")
        button = '[data-plug="%d"]' % lamp["node"]
        self.q(button).click()
        eventually(lambda: next(p for p in state()["plugs"] if p["node"] == lamp["node"])["on"] != lamp["on"], 10,
                   "the plug was never switched")
        eventually(lambda: self.q(button).get_attribute("aria-pressed") == str(not lamp["on"]).lower(), 10,
                   "the plug's button never followed")

        dimmer = next(p for p in state()["plugs"] if p["type"] == "dimmer")
        slider = self.q('input[data-plug-level="%d"]' % dimmer["node"])
        for _ in range(3):
            slider.send_keys(Keys.ARROW_RIGHT if dimmer["level"] < 90 else Keys.ARROW_LEFT)
        wanted = int(slider.get_attribute("value"))
        self.assertNotEqual(wanted, dimmer["level"])
        eventually(lambda: next(p for p in state()["plugs"] if p["node"] == dimmer["node"])["level"] == wanted, 10,
                   "the dimmer never reached %d" % wanted)

    def test_5b_a_long_drag_sends_about_ten_values_a_second_and_the_last_on_release(self):
        self.fresh_page()
        slider = self.pair_and_wait()
        # Counts the page's own calls, whatever the link later makes of them.
        self.driver.execute_script("""
            window.setCalls = [];
            const fetchBefore = window.fetch;
            window.fetch = (path, init) => {
              if (path === '/api/set') window.setCalls.push(JSON.parse(init.body).value);
              return fetchBefore(path, init);
            };""")
        # Straight to the browser's input: a driver's actions take longer than the pacing being tested.
        box = self.driver.execute_script("const r = arguments[0].getBoundingClientRect();"
                                         "return [r.left, r.top + r.height / 2, r.width];", slider)
        left, y, width = box
        mouse = lambda kind, x: self.driver.execute_cdp_cmd("Input.dispatchMouseEvent", {
            "type": kind, "x": x, "y": y, "button": "left", "buttons": 1 if kind != "mouseReleased" else 0,
            "clickCount": 1})
        started = time.monotonic()
        mouse("mousePressed", left + 10)
        steps = 0
        while time.monotonic() - started < 1.5:
            steps += 1
            mouse("mouseMoved", left + 10 + (steps * 3) % (width - 20))
        held = time.monotonic() - started
        mouse("mouseReleased", left + 10 + (steps * 3) % (width - 20))
        final = int(slider.get_attribute("value"))
        time.sleep(0.5)
        calls = self.driver.execute_script("return window.setCalls")
        self.assertGreaterEqual(len(calls), 2, calls)
        self.assertLessEqual(len(calls), held * 10 + 3, "%d sets in %.1f s: %s" % (len(calls), held, calls))
        self.assertEqual(calls[-1], final)

    def test_6_a_restarted_server_sends_the_phone_back_to_the_pin(self):
        self.fresh_page()
        self.pair_and_wait()
        self.serve.stop()
        banner = self.wait_visible("#banner")
        self.assertTrue(banner.text)
        self.assertFalse(self.q('input[type=range][data-field="micMasterVolume"]').is_enabled())
        # A new server on the same address knows none of the old tokens.
        self.start_server(self.sim_port, str(self.web_port))
        self.wait_visible("#pair", timeout=20)
        self.assertIn("PIN", self.q("#pair-error").text)
        self.pair_and_wait()
        # Paired again, every control follows the processor, the plugs' too.
        token = json.loads(self.post("/api/pair", {"pin": PIN}))["token"]
        dimmer = next(p for p in self.get_state(token)["plugs"] if p["type"] == "dimmer")
        level = 10 if dimmer["level"] != 10 else 20
        self.post("/api/plug", {"node": dimmer["node"], "level": level}, token)
        selector = 'input[data-plug-level="%d"]' % dimmer["node"]
        eventually(lambda: self.q(selector).get_attribute("value") == str(level), 10,
                   "the dimmer's slider no longer follows the processor")

    def test_7_a_processor_that_goes_away_greys_the_controls_out(self):
        # Last: the simulator does not come back.
        self.fresh_page()
        self.pair_and_wait()
        self.sim.stop()
        banner = self.wait_visible("#banner", timeout=20)
        self.assertIn("processor is not connected", banner.text)
        for selector in ('input[type=range][data-field="micMasterVolume"]', '[data-field="micMute"]',
                         '[data-field="musicSource"]', '[data-mode="2"]', '[data-scene="0"]'):
            self.assertFalse(self.q(selector).is_enabled(), selector)
        # The plugs are not known while the processor is away, which is not "no plugs".
        self.assertFalse(self.q("#no-plugs").is_displayed())
        self.shoot("offline-en")

    def test_8_repeated_wrong_pins_lock_the_phone_out(self):
        # Locks 127.0.0.1 out for a minute: this runs last.
        self.fresh_page()
        texts = []
        for _ in range(5):
            self.driver.execute_script("document.getElementById('pair-error').hidden = true;")
            self.pair("000000")
            texts.append(self.wait_visible("#pair-error").text)
        self.assertIn("Wrong PIN", texts[0])
        self.assertIn("Too many wrong PINs", texts[-1])


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--sim", required=True)
    parser.add_argument("--ctl", required=True)
    parser.add_argument("--chromium", default=shutil.which("chromium") or "/usr/bin/chromium")
    parser.add_argument("--chromedriver", default=shutil.which("chromedriver") or "/usr/bin/chromedriver")
    parser.add_argument("--shots", help="save screenshots of the page here")
    ARGS, rest = parser.parse_known_args()
    for path in (ARGS.sim, ARGS.ctl, ARGS.chromium, ARGS.chromedriver):
        if not os.access(path, os.X_OK):
            print("cannot run %s (CI installs chromium and chromium-driver)" % path, file=sys.stderr)
            return 1
    try:
        import selenium  # noqa: F401
    except ImportError:
        print("python3-selenium is not installed", file=sys.stderr)
        return 1
    result = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2).result
    return 0 if result.wasSuccessful() and result.testsRun > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
