#!/usr/bin/python3
"""Drives the show's page in headless Chromium over the DevTools protocol.

    page.py PAGE_DIR frames OUT_DIR T1,T2,...   the stills at those show times, as PNGs
    page.py PAGE_DIR sound OUT.wav SECONDS      what the page handed to Web Audio
    page.py PAGE_DIR escape                     Escape ends the show; a replay is offered
    page.py PAGE_DIR end                        the show's end offers a replay that plays
    page.py PAGE_DIR damage FILE [frames ...]   with data/FILE damaged ("missing": removed)
    page.py PAGE_DIR timing SECONDS             click to first frame, frames per second

PAGE_DIR holds index.html and the test page's show.js (build-web/test). Every command
fails (status 1) when the page's console reports an error or the page throws; it prints
what it measured.
"""
import base64
import functools
import http.server
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request
import wave
import zlib

import websocket

CHROMIUM = os.environ.get("LARKSPUR_CHROMIUM", "chromium")


class Failure(Exception):
    pass


class Page:
    """One headless Chromium with one tab on the page, served from PAGE_DIR."""

    def __init__(self, page_dir, options, width=640, height=480):
        handler = functools.partial(QuietHandler, directory=page_dir)
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.profile = tempfile.mkdtemp(prefix="larkspur-chromium-")
        self.browser = subprocess.Popen(
            [CHROMIUM, "--headless=new", "--no-sandbox", "--use-angle=swiftshader",
             "--enable-unsafe-swiftshader", "--autoplay-policy=no-user-gesture-required",
             "--remote-debugging-port=0", "--user-data-dir=" + self.profile,
             "--window-size=%d,%d" % (width, height), "--no-first-run",
             "--disable-background-timer-throttling", "--disable-renderer-backgrounding",
             "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.next_id = 0
        self.console = []
        self.socket = websocket.create_connection(self._target(), timeout=120)
        for domain in ("Page", "Runtime", "Log"):
            self.call(domain + ".enable")
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
        self.call("Page.addScriptToEvaluateOnNewDocument",
                  {"source": "window.larkspurTestOptions = %s;" % json.dumps(options)})
        self.call("Page.navigate",
                  {"url": "http://127.0.0.1:%d/index.html" % self.server.server_port})

    def _target(self):
        port_file = os.path.join(self.profile, "DevToolsActivePort")
        deadline = time.monotonic() + 30
        while not os.path.exists(port_file) or os.path.getsize(port_file) == 0:
            if time.monotonic() > deadline or self.browser.poll() is not None:
                raise Failure("Chromium did not open its DevTools port")
            time.sleep(0.1)
        port = open(port_file).read().split()[0]
        with urllib.request.urlopen("http://127.0.0.1:%s/json" % port) as answer:
            targets = json.load(answer)
        return next(t["webSocketDebuggerUrl"] for t in targets if t["type"] == "page")

    def close(self):
        try:
            self.socket.close()
        finally:
            self.browser.terminate()
            try:
                self.browser.wait(10)
            except subprocess.TimeoutExpired:
                self.browser.kill()
                self.browser.wait()
            self.server.shutdown()
            shutil.rmtree(self.profile, ignore_errors=True)

    def _event(self, message):
        method = message.get("method")
        params = message.get("params", {})
        if method == "Runtime.consoleAPICalled":
            text = " ".join(str(a.get("value", a.get("description", ""))) for a in params["args"])
            self.console.append((params["type"], text))
        elif method == "Runtime.exceptionThrown":
            details = params["exceptionDetails"]
            text = details.get("exception", {}).get("description", details.get("text", ""))
            self.console.append(("exception", text))
        elif method == "Log.entryAdded":
            entry = params["entry"]
            self.console.append((entry["level"], entry.get("text", "")))

    def call(self, method, params=None):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method,
                                     "params": params or {}}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise Failure("%s: %s" % (method, message["error"]))
                return message.get("result", {})
            self._event(message)

    def eval(self, expression):
        result = self.call("Runtime.evaluate", {"expression": expression,
                                                "returnByValue": True, "awaitPromise": True})
        if "exceptionDetails" in result:
            raise Failure("%s: %s" % (expression, result["exceptionDetails"]))
        return result["result"].get("value")

    def wait_for(self, expression, seconds, what):
        deadline = time.monotonic() + seconds
        while not self.eval(expression):
            if time.monotonic() > deadline:
                raise Failure("%s did not happen within %d s (page says: %s)" %
                              (what, seconds, self.status()))
            time.sleep(0.1)

    def status(self):
        return self.eval("document.getElementById('status').textContent + ' | ' + "
                         "document.getElementById('message').textContent")

    def ready(self):
        self.wait_for("typeof state !== 'undefined' && state === 'ready'", 60, "loading")

    def click(self):
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", {"type": kind, "x": 320, "y": 240,
                                                   "button": "left", "clickCount": 1})

    def key(self, key, code):
        """Held for a few frames, as a hand holds it: the show reads keys between frames."""
        for kind in ("keyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent", {"type": kind, "key": key, "code": key,
                                                 "windowsVirtualKeyCode": code})
            time.sleep(0.3)

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as out:
            out.write(base64.b64decode(data))

    def bytes_of(self, expression):
        """The bytes of a typed array, through base64 in pieces."""
        text = self.eval("""(() => {
            const a = %s; const b = new Uint8Array(a.buffer, a.byteOffset, a.byteLength);
            let s = ''; for (let i = 0; i < b.length; i += 32768)
              s += String.fromCharCode.apply(null, b.subarray(i, i + 32768));
            return btoa(s); })()""" % expression)
        return base64.b64decode(text)

    def errors(self):
        # The test page's own reading back of the stills makes the driver note a stall.
        return [(kind, text) for kind, text in self.console
                if kind in ("error", "exception", "warning", "assert")
                and "GPU stall due to ReadPixels" not in text]


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def write_png(path, width, height, rgba):
    """Rows bottom-up as GL reads them; written top-down, opaque."""
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray(rgba[y * width * 4:(y + 1) * width * 4])
        row[3::4] = b"\xff" * width
        rows.append(b"\x00" + bytes(row))
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(b"".join(rows), 6)))
        out.write(chunk(b"IEND", b""))


def damage(page, name):
    if name == "none":
        return
    path = "/data/" + name
    if name.endswith(":missing") or name == "missing":
        raise Failure("name the file: FILE or FILE:missing")
    page.eval("instance.FS.writeFile(%s, new Uint8Array([0x45, 0x78, 0x74, 0x65]))"
              % json.dumps(path))


def frames(page_dir, out_dir, times, spoil=None):
    stills = sorted(int(t) for t in times.split(","))
    page = Page(page_dir, {"larkspurStillTimes": stills, "larkspurKeepFrames": True})
    try:
        page.ready()
        if spoil:
            name, _, how = spoil.partition(":")
            if how == "missing":
                page.eval("instance.FS.unlink(%s)" % json.dumps("/data/" + name))
            else:
                damage(page, name)
        page.click()
        page.wait_for("instance.larkspurStills && Object.keys(instance.larkspurStills).length"
                      " === %d" % len(stills), 300, "the stills")
        os.makedirs(out_dir, exist_ok=True)
        for t in stills:
            width = page.eval("instance.larkspurStills[%d].width" % t)
            height = page.eval("instance.larkspurStills[%d].height" % t)
            pixels = page.bytes_of("instance.larkspurStills[%d].pixels" % t)
            write_png(os.path.join(out_dir, "still-%05d.png" % t), width, height, pixels)
            print("page: still at %d ms, %d x %d" % (t, width, height))
        return page.errors()
    finally:
        page.close()


def sound(page_dir, out_path, seconds):
    frames_wanted = int(float(seconds) * 44100)
    page = Page(page_dir, {"larkspurSoundRecord": []})
    try:
        page.ready()
        page.click()
        page.wait_for("instance.larkspurSoundRecord.reduce((n, b) => n + b.length, 0) >= %d"
                      % (2 * frames_wanted), 120, "%s s of sound" % seconds)
        data = page.bytes_of("""(() => { const r = instance.larkspurSoundRecord;
            const all = new Int16Array(r.reduce((n, b) => n + b.length, 0)); let at = 0;
            for (const b of r) { all.set(b, at); at += b.length; } return all; })()""")
        with wave.open(out_path, "wb") as out:
            out.setnchannels(2)
            out.setsampwidth(2)
            out.setframerate(44100)
            out.writeframes(data)
        print("page: %d frames of sound handed to Web Audio" % (len(data) // 4))
        return page.errors()
    finally:
        page.close()


def offered(page):
    page.wait_for("state === 'ended'", 30, "the end")
    text = page.status()
    if "play it again" not in text:
        raise Failure("no replay offered: %s" % text)


def escape(page_dir):
    page = Page(page_dir, {})
    try:
        page.ready()
        page.click()
        page.wait_for("larkspurTimes.firstFrame !== undefined", 30, "the first frame")
        time.sleep(1)
        if os.environ.get("LARKSPUR_PAGE_SHOT"):
            page.screenshot(os.environ["LARKSPUR_PAGE_SHOT"])
        if page.eval("state") != "playing":
            raise Failure("the show stopped before Escape: %s" % page.status())
        page.key("Escape", 27)
        offered(page)
        print("page: Escape ended the show; a replay is offered")
        return page.errors()
    finally:
        page.close()


def end(page_dir):
    page = Page(page_dir, {"larkspurStillTimes": [84100], "larkspurKeepFrames": True})
    try:
        page.ready()
        page.click()
        offered(page)
        page.click()
        # The replay runs the show again, which the seam moves past its end once more.
        page.wait_for("window.larkspurEnded === 2", 60, "the replay")
        print("page: the end offered a replay, and it ran the show again")
        return page.errors()
    finally:
        page.close()


def bad_song(page_dir, how):
    page = Page(page_dir, {})
    try:
        page.ready()
        if how == "missing":
            page.eval("instance.FS.unlink('/data/theme.xm')")
        else:
            damage(page, "theme.xm")
        page.click()
        offered(page)
        text = page.status()
        print("page: %s" % text.replace("\n", " / "))
        return page.errors(), text
    finally:
        page.close()


def timing(page_dir, seconds):
    page = Page(page_dir, {})
    try:
        page.ready()
        page.eval("window.larkspurFrames = 0; (function count() { larkspurFrames++;"
                  " requestAnimationFrame(count); })()")
        page.click()
        page.wait_for("larkspurTimes.firstFrame !== undefined", 30, "the first frame")
        first = page.eval("larkspurTimes.firstFrame - larkspurTimes.click")
        # Frames the show drew: each one ends in one wait for the browser's frame.
        page.eval("window.larkspurShown = 0; instance.larkspurOnFrame.push(() => larkspurShown++)")
        time.sleep(float(seconds))
        shown = page.eval("larkspurShown")
        print("page: click to first frame %.0f ms; %.1f frames/s over %s s"
              % (first, shown / float(seconds), seconds))
        return page.errors()
    finally:
        page.close()


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    page_dir, command, rest = argv[1], argv[2], argv[3:]
    try:
        if command == "frames":
            errors = frames(page_dir, rest[0], rest[1], rest[2] if len(rest) > 2 else None)
        elif command == "sound":
            errors = sound(page_dir, rest[0], rest[1])
        elif command == "escape":
            errors = escape(page_dir)
        elif command == "end":
            errors = end(page_dir)
        elif command == "bad-song":
            errors, _ = bad_song(page_dir, rest[0])
        elif command == "timing":
            errors = timing(page_dir, rest[0] if rest else "10")
        else:
            print(__doc__, file=sys.stderr)
            return 2
    except Failure as failure:
        print("page: FAIL %s" % failure, file=sys.stderr)
        return 1
    if errors:
        for kind, text in errors:
            print("page: console %s: %s" % (kind, text), file=sys.stderr)
        print("page: FAIL the console reported errors", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
