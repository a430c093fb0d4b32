#!/usr/bin/env python3
"""`tolmaren view --sim` in headless Chromium: the page draws traces, its
health counters move and agree with /status (a dropped run of blocks shows
as one gap of 6 on both), and its Start and Stop buttons make a recording
with its sidecar. With TOLMAREN_VIEW_SCREENSHOT=FILE it also saves a
screenshot of the page there.

Usage: view_page_test.py TOOL. Needs Chromium (Debian's `chromium`); talks
to it over the DevTools protocol with a small WebSocket client of its own.
"""
import base64
import json
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request

TIMEOUT = 60  # seconds for anything to happen; only a bound, never a measurement
DROP_AT = 75000  # the simulator skips 6 blocks here, 2.5 s into the stream
DROP_COUNT = 6


def wait_for(what, check, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.1)


class DevTools:
    """One DevTools protocol connection: JSON calls over a WebSocket."""

    def __init__(self, url):
        host, _, path = url[len("ws://"):].partition("/")
        address, port = host.split(":")
        self.socket = socket.create_connection((address, int(port)), timeout=TIMEOUT)
        key = base64.b64encode(os.urandom(16)).decode()
        self.socket.sendall(("GET /%s HTTP/1.1\r\nHost: %s\r\nUpgrade: websocket\r\n"
                             "Connection: Upgrade\r\nSec-WebSocket-Key: %s\r\n"
                             "Sec-WebSocket-Version: 13\r\n\r\n" % (path, host, key)).encode())
        reply = b""
        while b"\r\n\r\n" not in reply:
            reply += self.socket.recv(1)
        assert reply.startswith(b"HTTP/1.1 101"), reply
        self.next_id = 0

    def _receive(self, n):
        data = b""
        while len(data) < n:
            more = self.socket.recv(n - len(data))
            if not more:
                raise ConnectionError("DevTools closed the connection")
            data += more
        return data

    def _send(self, text):
        payload = text.encode()
        mask = os.urandom(4)
        n = len(payload)
        header = struct.pack("!B", 0x81)
        if n < 126:
            header += struct.pack("!B", 0x80 | n)
        elif n < 65536:
            header += struct.pack("!BH", 0x80 | 126, n)
        else:
            header += struct.pack("!BQ", 0x80 | 127, n)
        masked = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
        self.socket.sendall(header + mask + masked)

    def _message(self):
        message = b""
        while True:
            first, second = self._receive(2)
            n = second & 0x7F
            if n == 126:
                n = struct.unpack("!H", self._receive(2))[0]
            elif n == 127:
                n = struct.unpack("!Q", self._receive(8))[0]
            message += self._receive(n)
            if first & 0x80:
                return json.loads(message)

    def call(self, method, **params):
        self.next_id += 1
        self._send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            reply = self._message()
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise AssertionError("%s: %s" % (method, reply["error"]))
                return reply["result"]

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        if "exceptionDetails" in result:
            raise AssertionError("the page failed: %s" % result["exceptionDetails"])
        return result["result"].get("value")


# Pixels of the trace colour (#7fd4c1) in the traces canvas: columns that hold any.
TRACE_COLUMNS = """(() => {
  const canvas = document.getElementById("traces");
  const data = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
  const columns = new Set();
  for (let i = 0; i < data.length; i += 4)
    if (Math.abs(data[i] - 127) < 40 && Math.abs(data[i + 1] - 212) < 40 &&
        Math.abs(data[i + 2] - 193) < 40 && data[i + 3] > 0)
      columns.add((i / 4) % canvas.width);
  return columns.size / canvas.width;
})()"""

HEALTH = """(() => {
  const shown = {};
  for (const name of ["packets", "rejected", "gaps", "lost", "temperature", "fifo"])
    shown[name] = document.getElementById("health-" + name).textContent;
  return shown;
})()"""


def number(text):
    return int(text) if text.isdigit() else None


def own_address():
    """This process's loopback address, so that tests run at once: 127.0.0.0
    + 4 pid, as the other tests take theirs (tests/common/TestAddress.h)."""
    host = 4 * os.getpid()
    return f"127.{host >> 16 & 255}.{host >> 8 & 255}.{host & 255}"


def main():
    tool = sys.argv[1]
    screenshot = os.environ.get("TOLMAREN_VIEW_SCREENSHOT")
    work = tempfile.mkdtemp(prefix="tolmaren-view-")
    view = subprocess.Popen(
        [tool, "view", "--port", "0", "--address", own_address(), "--sim", "--drop-at", str(DROP_AT), "--drop-count",
         str(DROP_COUNT)], cwd=work, stdout=subprocess.PIPE, text=True)
    browser = None
    try:
        line = ""
        while not line.startswith("view: "):
            line = view.stdout.readline()
            assert line, "tolmaren view ended before it served"
        url = line.split()[1]
        status = lambda: json.load(urllib.request.urlopen(url + "status", timeout=TIMEOUT))

        profile = os.path.join(work, "profile")
        browser = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
             "--no-first-run", "--disable-background-networking", "--disable-component-update",
             "--disable-sync", "--user-data-dir=" + profile, "--remote-debugging-port=0",
             "--window-size=1400,900", url],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        active_port = os.path.join(profile, "DevToolsActivePort")
        wait_for("Chromium's DevTools port",
                 lambda: os.path.exists(active_port) and len(open(active_port).readlines()) == 2)
        debug_port = int(open(active_port).readline())
        targets = lambda: json.load(
            urllib.request.urlopen("http://127.0.0.1:%d/json/list" % debug_port, timeout=TIMEOUT))
        page = wait_for("the page's target", lambda: [t for t in targets()
                                                      if t["type"] == "page" and t["url"] == url])
        tools = DevTools(page[0]["webSocketDebuggerUrl"])
        wait_for("the page to load", lambda: tools.evaluate(
            "location.href + ' ' + document.readyState") == url + " complete")

        # Traces: drawn across most of the plot once a window of data came.
        wait_for("traces across the plot", lambda: tools.evaluate(TRACE_COLUMNS) > 0.5)

        # The counters move and agree with /status, which the page never sees.
        before = wait_for("a packet count", lambda: number(tools.evaluate(HEALTH)["packets"]))
        reported = status()
        assert before <= reported["packets"], (before, reported)
        wait_for("the page's count to pass /status's",
                 lambda: number(tools.evaluate(HEALTH)["packets"]) > reported["packets"])
        reported = wait_for("the drop to show in /status", lambda: status()["gaps"] and status())
        assert (reported["gaps"], reported["blocks_lost"]) == (1, DROP_COUNT), reported
        shown = wait_for("the drop to show on the page",
                         lambda: tools.evaluate(HEALTH)["gaps"] == "1" and tools.evaluate(HEALTH))
        assert shown["lost"] == str(DROP_COUNT) and shown["rejected"] == "0", shown
        assert shown["temperature"] == "%.1f °C" % reported["temperature_celsius"], shown
        assert shown["fifo"].endswith(" %"), shown

        # Recording from the page: Start, some data, Stop; the file and its sidecar agree.
        name = tools.evaluate("document.getElementById('record-name').value")
        tools.evaluate("document.getElementById('record-start').click()")
        wait_for("a recording", lambda: status()["recording"]["packets"] >= 2500)
        tools.evaluate("document.getElementById('record-stop').click()")
        done = wait_for("the recording's end", lambda: not status()["recording"]["active"]
                        and os.path.exists(os.path.join(work, name + ".json")) and status())
        sidecar = json.load(open(os.path.join(work, name + ".json")))
        recorded = sidecar["recorded"]
        assert recorded["packets"] >= 2500 and recorded["gaps"] == 0, recorded
        assert os.path.getsize(os.path.join(work, name)) == recorded["bytes"] == \
            recorded["packets"] * 12 * 612, recorded
        assert done["recording"]["message"].startswith("recorded " + name), done

        if screenshot:
            # A screen that shows seconds of LFP and the recording's outcome.
            wait_for("seconds of LFP", lambda: tools.evaluate("tolmarenView.lfp.columns.length") >= 350)
            picture = tools.call("Page.captureScreenshot", format="png")["data"]
            with open(screenshot, "wb") as out:
                out.write(base64.b64decode(picture))
        print("1 passed, 0 failed")
    finally:
        if browser is not None:
            os.killpg(browser.pid, signal.SIGTERM)
            browser.wait()
        view.send_signal(signal.SIGINT)
        code = view.wait(timeout=TIMEOUT)
        shutil.rmtree(work, ignore_errors=True)
    assert code == 0, "tolmaren view exited with %d" % code


if __name__ == "__main__":
    main()
