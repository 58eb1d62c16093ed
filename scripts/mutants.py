#!/usr/bin/env python3
"""Mutation testing of the two readers and their file layer.

Each mutant changes one thing in one place of the readers' code (a
comparison, a logical operator, a '!', a constant by one, a statement or a
branch, a true or false), and the engine and CLI tests are run against it:
a mutant that no test notices shows a behaviour that no test holds.

  scripts/mutants.py list
      Regenerates scripts/mutants.txt, the committed list of mutants (one a
      line: file, line, column, kind, from, to), from the sources.
  scripts/mutants.py run [--sample N] [--seed S] [--only ID ...] [--rev REV]
      Builds each mutant (all, or N of them drawn with seed S) and runs the
      tests; prints killed / survived / no build per mutant, and the kill
      rate of those that build. With --rev, the code and list of that commit
      (e.g. main's, for a baseline) instead of the worktree's.

The sources are copied to build-mutants/src (the worktree is never
changed, and may be edited during a run) and built in build-mutants/build at -O1, only engine_tests,
cli_tests and korvane-check, incrementally: one file changed per mutant.
Standard library only; everything runs under nice.
"""

import argparse
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
LIST = ROOT / "scripts" / "mutants.txt"
WORK = ROOT / "build-mutants"
SRC = WORK / "src"
BUILD = WORK / "build"

# The readers, their shared scanner and character helpers, and the file
# layer under them (the SIGBUS guard included); those that exist.
FILES = [
    "engine/include_reader.cpp",
    "engine/include_branches.cpp",
    "engine/include_keys.cpp",
    "engine/include_lookup.cpp",
    "engine/include_replay.cpp",
    "engine/include_settings.cpp",
    "engine/include_text.h",
    "engine/piece_reader.h",
    "engine/file_source.cpp",
    "engine/search_order.cpp",
    "engine/zone_arenas.cpp",
    "engine/profile.cpp",
    "engine/profile_number.cpp",
    "engine/byte_scan.h",
    "engine/ascii.h",
    "engine/name_table.h",
    "engine/bytes.cpp",
    "engine/settings_file.cpp",
    "engine/settings_file_posix.cpp",
    "engine/read_to_end.h",
]
TARGETS = ["engine_tests", "cli_tests", "korvane-check"]
TESTS = r"engine\.|cli\."
NICE = ["nice", "-n", "10"]


# ---------------------------------------------------------------- sources


def masked(text):
    """The text with comments, string and character literals and
    preprocessor lines blanked (same length, newlines kept): what remains is
    code that may be mutated."""
    out = list(text)
    i, n = 0, len(text)
    at_line_start = True

    def blank(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    while i < n:
        c = text[i]
        if c == "\n":
            at_line_start = True
            i += 1
            continue
        if at_line_start and c == "#":
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
            continue
        if not c.isspace():
            at_line_start = False
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            blank(i, j)
            i = j
        elif c == "'" and i > 0 and text[i - 1].isalnum():
            i += 1  # a digit separator: 100'000
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            blank(i + 1, j)  # the quotes stay: a literal is an operand
            i = j + 1
        else:
            i += 1
    return "".join(out)


SWAPS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
RELATIONAL = re.compile(r"(?<= )(<=|>=|==|!=|<|>)(?= )")
LOGICAL = re.compile(r"(?<= )(&&|\|\|)(?= )")
NOT = re.compile(r"!(?=[\w(])")
NUMBER = re.compile(r"(?<![\w.'])(0[xX][0-9A-Fa-f]+|\d+)([uU]?[lL]{0,2})(?![\w.'])")
BOOL = re.compile(r"\b(true|false)\b")
IF = re.compile(r"\bif \((?!const |auto |constexpr)")
DECLARATION = re.compile(r"^(?:[\w:]+(?:<[^;=()]*>)?[\s*&]+)+\w+\s*[=({;\[]")
NOT_DELETED = ("return ", "case ", "default", "using ", "namespace ", "template", "struct ",
               "class ", "enum ", "public", "private", "static_assert", "throw ")


def number_mutants(literal, suffix):
    value = int(literal, 16) if literal[:2] in ("0x", "0X") else int(literal)
    shown = (lambda v: hex(v)) if literal[:2] in ("0x", "0X") else str
    out = [shown(value + 1) + suffix]
    if value > 0:
        out.append(shown(value - 1) + suffix)
    return out


def closing_paren(code, open_at):
    depth = 0
    for k in range(open_at, len(code)):
        if code[k] == "(":
            depth += 1
        elif code[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


def statement_starts(code_lines):
    """For each line, whether it starts a statement in a block: not inside
    parentheses within the enclosing braces, after a line that ends one (or
    opens or closes a block, or is a control header or an else)."""
    starts = []
    stack = [0]  # open parentheses and brackets, per open brace
    before = ";"  # the last line of code, stripped
    for line in code_lines:
        stripped = line.strip()
        starts.append(bool(stripped) and stack[-1] == 0 and
                      (before[-1] in ";{}:)" or re.search(r"\belse$", before) is not None))
        for ch in line:
            if ch == "{":
                stack.append(0)
            elif ch == "}":
                if len(stack) > 1:
                    stack.pop()
            elif ch in "([":
                stack[-1] += 1
            elif ch in ")]":
                stack[-1] -= 1
        if stripped:
            before = stripped
    return starts


def generate(path):
    text = (ROOT / path).read_text()
    code = masked(text)
    lines, code_lines = text.split("\n"), code.split("\n")
    starts = statement_starts(code_lines)
    mutants = []

    def add(lineno, col, kind, old, new):
        mutants.append((path, lineno + 1, col + 1, kind, old, new))

    for k, (line, cl) in enumerate(zip(lines, code_lines)):
        if not cl.strip():
            continue
        for m in RELATIONAL.finditer(cl):
            add(k, m.start(), "compare", m.group(1), SWAPS[m.group(1)])
        for m in LOGICAL.finditer(cl):
            add(k, m.start(), "logic", m.group(1), "||" if m.group(1) == "&&" else "&&")
        for m in NOT.finditer(cl):
            add(k, m.start(), "not", "!", "")
        for m in NUMBER.finditer(cl):
            for new in number_mutants(m.group(1), m.group(2)):
                add(k, m.start(), "constant", m.group(0), new)
        for m in BOOL.finditer(cl):
            add(k, m.start(), "bool", m.group(1), "false" if m.group(1) == "true" else "true")
        for m in IF.finditer(cl):
            open_at = m.end() - 1
            close = closing_paren(cl, open_at)
            if close > 0 and ";" not in cl[open_at:close]:
                add(k, open_at, "branch", line[open_at:close + 1], "(false)")
        s = cl.strip()
        if (starts[k] and s.endswith(";") and s.count("(") == s.count(")") and
                re.match(r"(\+\+|--|\*?[A-Za-z_])", s) and not s.startswith(NOT_DELETED) and
                not DECLARATION.match(s) and s.count("{") == s.count("}") and "=" != s[-2:-1]):
            col = len(cl) - len(cl.lstrip())
            add(k, col, "delete", line[col:], ";")
    return mutants


def write_list():
    rows = [m for f in FILES if (ROOT / f).is_file() for m in generate(f)]
    with LIST.open("w") as out:
        out.write("# Mutants of the readers, made by scripts/mutants.py list: one a line,\n"
                  "# file, line, column, kind, from, to (tab-separated). Regenerate after\n"
                  "# changing a listed file.\n")
        for row in rows:
            out.write("\t".join(str(x) for x in row) + "\n")
    kinds = {}
    for r in rows:
        kinds[r[3]] = kinds.get(r[3], 0) + 1
    print(f"{len(rows)} mutants written to {LIST.relative_to(ROOT)}: " +
          ", ".join(f"{v} {k}" for k, v in sorted(kinds.items())))


def read_list(source):
    rows = []
    for raw in (source / "scripts" / "mutants.txt").read_text().split("\n"):
        if not raw or raw.startswith("#"):
            continue
        f, line, col, kind, old, new = raw.split("\t")
        rows.append({"id": len(rows) + 1, "file": f, "line": int(line), "col": int(col),
                     "kind": kind, "from": old, "to": new})
    return rows


# ---------------------------------------------------------------- running


def source_tree(rev):
    """Where the sources are: the worktree, or commit `rev` unpacked."""
    if not rev:
        return ROOT
    tree = WORK / "rev"
    shutil.rmtree(tree, ignore_errors=True)
    tree.mkdir(parents=True)
    archive = subprocess.run(["git", "archive", rev], cwd=ROOT, check=True,
                             capture_output=True).stdout
    subprocess.run(["tar", "-x", "-C", str(tree)], input=archive, check=True)
    return tree


def sync_sources(source):
    """Copies the files of `source` (tracked, and new ones not ignored) to
    SRC, only those that differ, so that the build stays incremental."""
    if source == ROOT:
        names = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=ROOT,
                               check=True, capture_output=True).stdout.decode().split("\0")
    else:
        names = [str(p.relative_to(source)) for p in source.rglob("*")]
    wanted = {n for n in names if n and (source / n).is_file()}
    for n in sorted(wanted):
        src, dst = source / n, SRC / n
        data = src.read_bytes()
        if not dst.is_file() or dst.read_bytes() != data:
            dst.parent.mkdir(parents=True, exist_ok=True)
            dst.write_bytes(data)
            shutil.copymode(src, dst)
    for dst in SRC.rglob("*"):
        if dst.is_file() and str(dst.relative_to(SRC)) not in wanted:
            dst.unlink()


def run_group(cmd, timeout, log):
    """Runs cmd in its own process group; (exit status, timed out)."""
    with open(log, "w") as out:
        p = subprocess.Popen(NICE + cmd, stdout=out, stderr=subprocess.STDOUT,
                             start_new_session=True)
        try:
            return p.wait(timeout=timeout), False
        except subprocess.TimeoutExpired:
            os.killpg(p.pid, signal.SIGKILL)
            p.wait()
            return None, True


def build(jobs):
    if not (BUILD / "CMakeCache.txt").exists():
        rc, _ = run_group(["cmake", "-S", str(SRC), "-B", str(BUILD), "-DCMAKE_BUILD_TYPE=None",
                           "-DCMAKE_CXX_FLAGS=-O1", "-DKORVANE_GUI=OFF", "-DKORVANE_BENCH=OFF",
                           "-DBUILD_TESTING=ON"], 600, WORK / "configure.log")
        if rc != 0:
            sys.exit(f"mutants: configuring failed, see {WORK / 'configure.log'}")
    rc, _ = run_group(["cmake", "--build", str(BUILD), "-j", str(jobs), "--target"] + TARGETS,
                      1800, WORK / "build.log")
    return rc == 0


def test(jobs, timeout):
    """'pass', 'fail' or 'timeout'."""
    rc, timed_out = run_group(["ctest", "--test-dir", str(BUILD), "-R", TESTS, "-j", str(jobs),
                               "--stop-on-failure", "--output-on-failure"], timeout,
                              WORK / "test.log")
    if timed_out:
        return "timeout"
    return "pass" if rc == 0 else "fail"


# The listed files as the run found them: the worktree may change meanwhile.
ORIGINALS = {}


def mutate(m):
    path = SRC / m["file"]
    if m["file"] not in ORIGINALS:
        ORIGINALS[m["file"]] = (SRC / m["file"]).read_text()
    original = ORIGINALS[m["file"]]
    lines = original.split("\n")
    line = lines[m["line"] - 1]
    at = m["col"] - 1
    if line[at:at + len(m["from"])] != m["from"]:
        sys.exit(f"mutants: {m['file']}:{m['line']} no longer holds {m['from']!r}: "
                 "regenerate the list (scripts/mutants.py list)")
    lines[m["line"] - 1] = line[:at] + m["to"] + line[at + len(m["from"]):]
    path.write_text("\n".join(lines))


def restore(file):
    (SRC / file).write_text(ORIGINALS[file])


def failed_tests():
    names = re.findall(r"\d+ - (\S+) \(", (WORK / "test.log").read_text())
    return names[0] if names else ""


def describe(m):
    return f"{m['file']}:{m['line']}:{m['col']} {m['kind']} {m['from']!r} -> {m['to']!r}"


def run(args):
    WORK.mkdir(exist_ok=True)
    source = source_tree(args.rev)
    rows = read_list(source)
    if args.only:
        chosen = [r for r in rows if r["id"] in set(args.only)]
    elif args.sample:
        chosen = random.Random(args.seed).sample(rows, min(args.sample, len(rows)))
    else:
        chosen = rows
    chosen.sort(key=lambda r: (r["file"], r["line"], r["col"]))
    sync_sources(source)
    start = time.monotonic()
    print(f"mutants: building and testing the unmutated code in {BUILD.relative_to(ROOT)}",
          flush=True)
    if not build(args.jobs):
        sys.exit(f"mutants: the unmutated code does not build, see {WORK / 'build.log'}")
    t = time.monotonic()
    if test(args.jobs, 1800) != "pass":
        sys.exit(f"mutants: the tests fail without a mutant, see {WORK / 'test.log'}")
    timeout = args.timeout or max(30, 6 * (time.monotonic() - t))
    print(f"mutants: {len(chosen)} of {len(rows)} mutants, tests cut after {timeout:.0f}s",
          flush=True)

    results = []
    current = None
    for k, m in enumerate(chosen, 1):
        if current and current != m["file"]:
            restore(current)
        current = m["file"]
        mutate(m)
        t = time.monotonic()
        if not build(args.jobs):
            outcome, why = "no build", ""
        else:
            verdict = test(args.jobs, timeout)
            outcome = "survived" if verdict == "pass" else "killed"
            why = "(timed out)" if verdict == "timeout" else failed_tests()
        results.append((m, outcome))
        print(f"[{k}/{len(chosen)}] #{m['id']} {outcome:8} {describe(m)} "
              f"{time.monotonic() - t:.0f}s {why}".rstrip(), flush=True)
    if current:
        restore(current)

    killed = sum(1 for _, o in results if o == "killed")
    survived = [m for m, o in results if o == "survived"]
    built = killed + len(survived)
    rate = 100.0 * killed / built if built else 0.0
    with (WORK / "results.tsv").open("w") as out:
        for m, o in results:
            out.write(f"{m['id']}\t{o}\t{describe(m)}\n")
    print(f"\nmutants: {killed} killed, {len(survived)} survived, {len(results) - built} "
          f"did not build; kill rate {rate:.1f}% of {built} that build; "
          f"{(time.monotonic() - start) / 60:.1f} minutes")
    for m in survived:
        print(f"  survived #{m['id']} {describe(m)}")
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    sub.add_parser("list", help="regenerate scripts/mutants.txt from the sources")
    r = sub.add_parser("run", help="build and test mutants")
    r.add_argument("--sample", type=int, help="test N mutants drawn at random")
    r.add_argument("--seed", type=int, default=1, help="the draw's seed (default 1)")
    r.add_argument("--only", type=int, nargs="+", metavar="ID", help="test these mutants")
    r.add_argument("--rev", help="test the code and list of this commit, not the worktree's")
    r.add_argument("--jobs", type=int, default=2, help="build and test jobs (default 2)")
    r.add_argument("--timeout", type=float, help="seconds before a mutant's tests are cut "
                   "(default: six times the unmutated run, at least 30)")
    args = parser.parse_args()
    if args.command == "list":
        write_list()
        return 0
    return run(args)


if __name__ == "__main__":
    sys.exit(main())
