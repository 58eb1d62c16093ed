#!/usr/bin/env python3
"""korvane-check --lsp as an editor drives it: the time from a didChange to
the publishDiagnostics it causes, and the server's peak memory.

  bench/lsp_latency.py [BUILD] [EDITS]   (default: build, 101)

- a 17 KB server.cfg, edited EDITS times (goal: median at most 10 ms);
- a zone of 100 arenas that all include one shared ships file, with 5
  arenas and the shared file open, the shared file edited (goal: median
  at most 50 ms);
- the server's peak memory holding that zone (from /proc, VmHWM).

Each edit makes a finding or takes it away, so each is published. The edits
are sent one by one, each once the last was published, as a typing operator
waits on nothing. Exits 1 when a goal is missed.
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

SHIPS = ["Warbird", "Javelin", "Spider", "Leviathan", "Terrier", "Weasel", "Lancaster", "Shark"]
KEYS = [("InitialRotation", 200), ("MaximumRotation", 260), ("InitialThrust", 15), ("MaximumThrust", 18),
        ("InitialSpeed", 2000), ("MaximumSpeed", 3250), ("InitialRecharge", 400), ("MaximumRecharge", 1150),
        ("InitialEnergy", 1000), ("MaximumEnergy", 1700), ("SuperTime", 6000), ("ShieldsTime", 3000),
        ("InitialRepel", 0), ("RepelMax", 1), ("InitialBurst", 0), ("BurstMax", 1), ("InitialBrick", 0),
        ("BrickMax", 0), ("InitialRocket", 0), ("RocketMax", 1), ("InitialDecoy", 0), ("DecoyMax", 1),
        ("InitialPortal", 0), ("PortalMax", 1), ("InitialThor", 0), ("ThorMax", 1), ("InitialGuns", 1),
        ("MaxGuns", 3), ("InitialBombs", 1), ("MaxBombs", 3)]


def ships(size):
    """The eight ships with every key the rules read, and other keys up to `size` bytes."""
    lines = []
    for ship in SHIPS:
        lines.append("[%s]" % ship)
        lines += ["%s=%d" % kv for kv in KEYS]
    n = 0
    while sum(len(l) + 1 for l in lines) < size:
        lines.insert(len(lines) - 1 - n % 200, "BulletDamageLevel%d=%d" % (n, 200 + n))
        n += 1
    return "\n".join(lines) + "\n"


class Server:
    def __init__(self, command):
        self.process = subprocess.Popen(command + ["--lsp"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.next_id = 1

    def send(self, message):
        body = json.dumps(message).encode()
        self.process.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
        self.process.stdin.flush()

    def receive(self):
        length = None
        while True:
            line = self.process.stdout.readline()
            if not line:
                raise SystemExit("the server ended")
            if line == b"\r\n":
                break
            name, _, value = line.decode().partition(":")
            if name.lower() == "content-length":
                length = int(value)
        return json.loads(self.process.stdout.read(length))

    def request(self, method, params):
        self.send({"jsonrpc": "2.0", "id": self.next_id, "method": method, "params": params})
        self.next_id += 1
        while "result" not in self.receive():
            pass

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def published(self, uri):
        while True:
            message = self.receive()
            if message.get("method") == "textDocument/publishDiagnostics" and message["params"]["uri"] == uri:
                return message["params"]["diagnostics"]

    def peak_kib(self):
        with open("/proc/%d/status" % self.process.pid) as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
        return 0

    def close(self):
        self.request("shutdown", None)
        self.notify("exit", None)
        self.process.wait(timeout=10)


def uri(path):
    return "file://" + path


def edit_times(server, path, text, edits):
    """Milliseconds from each didChange of `path` to its diagnostics."""
    server.notify("textDocument/didOpen", {"textDocument": {"uri": uri(path), "languageId": "korvane",
                                                             "version": 1, "text": text}})
    server.published(uri(path))
    broken = text.replace("InitialEnergy=1000", "InitialEnergy=2000", 1)
    times = []
    for version in range(2, edits + 2):
        changed = broken if version % 2 == 0 else text
        start = time.perf_counter()
        server.notify("textDocument/didChange", {"textDocument": {"uri": uri(path), "version": version},
                                                 "contentChanges": [{"text": changed}]})
        found = server.published(uri(path))
        times.append((time.perf_counter() - start) * 1000)
        if bool(found) != (version % 2 == 0):
            raise SystemExit("unexpected diagnostics for %s: %s" % (path, found))
    return times


def report(name, times, goal):
    median = statistics.median(times)
    ok = median <= goal
    print("%-48s median %6.2f ms, 90th %6.2f ms, max %6.2f ms (goal: median <= %g ms) %s" % (
        name, median, sorted(times)[int(len(times) * 0.9)], max(times), goal, "ok" if ok else "MISSED"))
    return ok


def main():
    build = os.path.realpath(sys.argv[1] if len(sys.argv) > 1 else "build")
    edits = int(sys.argv[2]) if len(sys.argv) > 2 else 101
    command = [os.path.join(build, "cli", "korvane-check")]
    ok = True
    with tempfile.TemporaryDirectory() as work:
        server_cfg = os.path.join(work, "server.cfg")
        text = ships(17 * 1024)
        with open(server_cfg, "w") as f:
            f.write(text)
        server = Server(command)
        server.request("initialize", {"capabilities": {}})
        server.notify("initialized", {})
        ok &= report("17 KB server.cfg", edit_times(server, server_cfg, text, edits), 10)
        server.close()

        zone = os.path.join(work, "zone")
        os.makedirs(os.path.join(zone, "conf"))
        shared = os.path.join(zone, "conf", "ships.conf")
        text = ships(17 * 1024)
        with open(shared, "w") as f:
            f.write(text)
        arenas = []
        for n in range(100):
            folder = os.path.join(zone, "arenas", "arena%03d" % n)
            os.makedirs(folder)
            arenas.append(os.path.join(folder, "arena.conf"))
            with open(arenas[-1], "w") as f:
                f.write("; arena %d\n#include ships.conf\n[Misc]\nFrequencyShipTypes=%d\n" % (n, n % 2))
        server = Server(command)
        server.request("initialize", {"capabilities": {}})
        server.notify("initialized", {})
        for path in arenas[:5]:
            with open(path) as f:
                server.notify("textDocument/didOpen", {"textDocument": {
                    "uri": uri(path), "languageId": "korvane", "version": 1, "text": f.read()}})
            server.published(uri(path))
        ok &= report("shared file of 100 arenas, 5 of them open", edit_times(server, shared, text, edits), 50)
        print("%-48s %d KiB" % ("peak memory holding the 100-arena zone", server.peak_kib()))
        server.close()
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
