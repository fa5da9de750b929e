#!/usr/bin/env python3
"""Mutation testing: small plausible mistakes in the product files given, one at a time, each
built and run against the test suite; lists the mutants no test caught, with their diffs.

    scripts/mutate.py host/low_battery host/estimate/charge_estimate.cpp
    scripts/mutate.py --list history                # the mutants only, nothing built
    scripts/mutate.py --tests 'LowBattery' FILE     # only the tests matching a ctest regex
    scripts/mutate.py --only 1f2ccf8c83,47ce8756e0 FILE   # the survivors again, once closed

The tree is copied to BUILD/src and built in BUILD/src/build (default build-mutate), so the checkout
and its own build stay as they are. A mutant that does not compile is stillborn and not counted.
Mutants judged equivalent (no test could tell them from the original) are listed, with why, in
scripts/mutate_equivalent.txt by their id; they are counted apart. Operators: comparisons,
arithmetic, logical connectives, negations, constants, conditions, booleans, std::min/max and
dropped statements.
"""
import argparse
import dataclasses
import difflib
import hashlib
import json
import os
import pathlib
import random
import re
import shutil
import signal
import subprocess
import sys
import time

TOP = pathlib.Path(__file__).resolve().parent.parent
PRODUCT = ("common/", "platform/", "terminal/", "viewer/", "plugin/", "tools/", "host/",
           "history/", "charge/", "power_supply/")
EQUIVALENTS = TOP / "scripts" / "mutate_equivalent.txt"


@dataclasses.dataclass
class Mutant:
    path: str     # relative to the top of the tree
    line: int     # 1-based
    op: str
    before: str   # the whole line as it is
    after: str    # the whole line mutated
    ident: str = ""

    def describe(self):
        return f"{self.path}:{self.line} {self.op}"

    def diff(self):
        return "".join(difflib.unified_diff([self.before + "\n"], [self.after + "\n"],
                                            f"a/{self.path}:{self.line}",
                                            f"b/{self.path}:{self.line}", n=0))


# --- finding mutants ------------------------------------------------------------------------

def mask(line, in_block):
    """The line with comments, string and character literals blanked (same length), so that
    operators are looked for in code only; and whether a block comment is still open."""
    out = []
    i = 0
    quote = None
    while i < len(line):
        c = line[i]
        if in_block:
            if line.startswith("*/", i):
                in_block = False
                out.append("  ")
                i += 2
            else:
                out.append(" ")
                i += 1
        elif quote:
            if c == "\\":
                out.append("  ")
                i += 2
                continue
            if c == quote:
                quote = None
            out.append(" " if c != '"' and c != "'" else c)
            i += 1
        elif line.startswith("//", i):
            out.append(" " * (len(line) - i))
            break
        elif line.startswith("/*", i):
            in_block = True
            out.append("  ")
            i += 2
        elif c in "\"'" and not (c == "'" and i > 0 and line[i - 1].isalnum()):
            quote = c
            out.append(c)
            i += 1
        else:
            out.append(c)
            i += 1
    return "".join(out)[:len(line)].ljust(len(line)), in_block


# (pattern in the masked code, replacement, operator name); binary operators are spaced by
# clang-format, which tells them from template brackets and pointer declarators.
SWAPS = [
    (" <= ", " < ", "comparison"), (" < ", " <= ", "comparison"),
    (" >= ", " > ", "comparison"), (" > ", " >= ", "comparison"),
    (" == ", " != ", "comparison"), (" != ", " == ", "comparison"),
    (" + ", " - ", "arithmetic"), (" - ", " + ", "arithmetic"),
    (" * ", " / ", "arithmetic"), (" / ", " * ", "arithmetic"),
    (" += ", " -= ", "arithmetic"), (" -= ", " += ", "arithmetic"),
    (" && ", " || ", "logical"), (" || ", " && ", "logical"),
    ("std::min(", "std::max(", "min/max"), ("std::max(", "std::min(", "min/max"),
]
NUMBER = re.compile(r"(?<![\w.])(\d+\.\d*|\d*\.\d+|\d+)(e[+-]?\d+)?([fFuUlL]*)(?![\w.])")
BOOLEAN = re.compile(r"\b(true|false)\b")
NEGATION = re.compile(r"!(?!=)(?=[\w(])")
CONDITION = re.compile(r"\b(if|while) \(")
DECLARATION = re.compile(
    r"^(const|constexpr|static|auto|int|unsigned|long|short|double|float|bool|char|size_t|"
    r"u?int\d+_t|void|using|namespace|typedef|struct|class|enum|template|return|break|"
    r"continue|case|default|std::|[A-Z]\w*(::\w+)*[\s*&<])")
STATEMENT = re.compile(r"^(\+\+|--)?[a-z_][\w]*(\.|->|\(|\[| = | \+= | -= | \|= | &= |\+\+|--)")


def number_mutant(text):
    body, exponent, suffix = text
    if exponent or "." in body:
        value = float(body + (exponent or ""))
        new = "1.0" if value == 0 else repr(value * 2)
    else:
        value = int(body)
        new = "1" if value == 0 else "0" if value == 1 else str(value + 1)
    return new + suffix


def matching_paren(code, open_at):
    depth = 0
    for i in range(open_at, len(code)):
        if code[i] == "(":
            depth += 1
        elif code[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return None


def line_mutants(path, number, line, code, previous_code):
    found = []

    def add(op, start, end, new):
        found.append(Mutant(path, number, op, line, line[:start] + new + line[end:]))

    for pattern, replacement, op in SWAPS:
        for m in re.finditer(re.escape(pattern), code):
            add(op, m.start(), m.end(), replacement)
    for m in NUMBER.finditer(code):
        if code[max(0, m.start() - 1)] in "[" and code.rstrip().endswith("];"):
            continue  # an array's size
        add("constant", m.start(), m.end(), number_mutant(m.groups()))
    for m in BOOLEAN.finditer(code):
        add("boolean", m.start(), m.end(), "false" if m.group(1) == "true" else "true")
    for m in NEGATION.finditer(code):
        add("negation", m.start(), m.end(), "")
    for m in CONDITION.finditer(code):
        close = matching_paren(code, m.end() - 1)
        if close is not None:
            inner = line[m.end():close]
            add("condition", m.end(), close, "!(" + inner + ")")
    stripped = code.strip()
    previous = previous_code.rstrip()
    whole_statement = (not previous or previous.endswith((";", "{", "}", ":")) or
                       previous.lstrip().startswith("#"))
    if (stripped.endswith(";") and whole_statement and STATEMENT.match(stripped) and
            not DECLARATION.match(stripped) and stripped.count("(") == stripped.count(")")):
        indent = len(line) - len(line.lstrip())
        add("dropped statement", 0, len(line), " " * indent + ";")
    return found


def file_mutants(path):
    text = (TOP / path).read_text()
    mutants = []
    in_block = False
    previous_code = ""
    for number, line in enumerate(text.split("\n"), 1):
        code, in_block_after = mask(line, in_block)
        skip = (in_block or code.lstrip().startswith("#") or "static_assert" in code or
                "NOLINT" in line or not code.strip())
        if not skip:
            mutants.extend(line_mutants(path, number, line, code, previous_code))
        if code.strip():
            previous_code = code
        in_block = in_block_after
    seen = {}
    for m in mutants:
        key = f"{m.path}|{m.op}|{m.before.strip()}|{m.after.strip()}"
        seen[key] = seen.get(key, 0) + 1
        m.ident = hashlib.sha1(f"{key}|{seen[key]}".encode()).hexdigest()[:10]
    return mutants


def product_files(arguments):
    files = []
    for argument in arguments:
        target = (TOP / argument).resolve()
        candidates = sorted(target.rglob("*")) if target.is_dir() else [target]
        for candidate in candidates:
            relative = candidate.relative_to(TOP).as_posix()
            if candidate.suffix not in (".cpp", ".h") or not candidate.is_file():
                continue
            if not relative.startswith(PRODUCT):
                sys.exit(f"mutate: {relative} is not a product file")
            files.append(relative)
    if not files:
        sys.exit("mutate: no product file among " + " ".join(arguments))
    return files


# --- running them ---------------------------------------------------------------------------

def copy_tree(source_root):
    """Copies the tracked and new files into source_root, leaving files whose content is the
    same untouched so that the copy's build stays incremental."""
    listed = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=TOP,
                            check=True, capture_output=True).stdout.decode().split("\0")
    wanted = set()
    for name in filter(None, listed):
        source = TOP / name
        if not source.is_file() or name.startswith("build"):
            continue
        wanted.add(name)
        target = source_root / name
        if target.is_file() and target.read_bytes() == source.read_bytes():
            continue
        target.parent.mkdir(parents=True, exist_ok=True)
        # A fresh time, not the checkout's: an object built since from the copy's older text
        # would otherwise look newer than the change and not be built again.
        shutil.copy(source, target)
    for existing in list(source_root.rglob("*")):
        relative = existing.relative_to(source_root).as_posix()
        if existing.is_file() and not relative.startswith("build/") and relative not in wanted:
            existing.unlink()


def run(command, log, timeout=None):
    with open(log, "w") as out:
        try:
            return subprocess.run(command, stdout=out, stderr=subprocess.STDOUT,
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return None


class Runner:
    def __init__(self, options):
        self.options = options
        self.root = (TOP / options.build).resolve()
        self.source = self.root / "src"
        # The build lies inside the copy as build/ lies inside a checkout, so that ccache sees
        # the same relative paths and the first build of the copy comes from its cache.
        self.build = self.source / "build"
        self.log = self.root / "last.log"
        self.targets = []

    def prepare(self):
        self.root.mkdir(parents=True, exist_ok=True)
        copy_tree(self.source)
        if not (self.build / "build.ninja").exists():
            env_launcher = []
            if shutil.which("ccache"):
                os.environ.setdefault("CCACHE_BASEDIR", str(TOP.parent))
                os.environ.setdefault("CCACHE_NOHASHDIR", "1")
                env_launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache",
                                "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
            if run(["cmake", "-S", str(self.source), "-B", str(self.build), "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DBRIMWELL_WERROR=ON"] + env_launcher, self.log) != 0:
                sys.exit(f"mutate: cannot configure the copy; see {self.log}")
        if not self.compile():
            sys.exit(f"mutate: the unmutated tree does not build; see {self.log}")
        # A mutant rebuilds only what the tests run (not the benchmarks and probes).
        listed = subprocess.run(["ctest", "--test-dir", str(self.build), "--show-only=json-v1"],
                                check=True, capture_output=True, text=True).stdout
        self.targets = sorted({pathlib.Path(t["command"][0]).name
                               for t in json.loads(listed)["tests"] if t.get("command")})
        if self.tests(stop_early=False) != "passed":
            sys.exit(f"mutate: the suite fails before any mutant; see {self.log}")

    def compile(self):
        targets = ["--target"] + self.targets if self.targets else []
        return run(["cmake", "--build", str(self.build), "-j", str(self.options.jobs)] + targets,
                   self.log) == 0

    def tests(self, stop_early=True):
        # The unit tests first, in one process that stops at the first failure: most mutants
        # die there in seconds, before the end-to-end tests start.
        unit = self.build / "bin" / "brimwell_unit_tests"
        if stop_early and not self.options.tests and unit.exists():
            if run([str(unit), "--gtest_fail_fast", "--gtest_brief=1"], self.log,
                   timeout=self.options.timeout * 5) != 0:
                return "failed"
        command = ["ctest", "--test-dir", str(self.build), "-j", str(self.options.jobs),
                   "--timeout", str(self.options.timeout)]
        if stop_early:
            command.append("--stop-on-failure")
        if self.options.tests:
            command += ["-R", self.options.tests]
        if self.options.exclude_tests:
            command += ["-E", self.options.exclude_tests]
        code = run(command, self.log, timeout=self.options.timeout * 20)
        return "passed" if code == 0 else "failed"

    def outcome(self, mutant):
        target = self.source / mutant.path
        original = target.read_text()
        lines = original.split("\n")
        assert lines[mutant.line - 1] == mutant.before, mutant.describe()
        lines[mutant.line - 1] = mutant.after
        try:
            target.write_text("\n".join(lines))
            if not self.compile():
                return "stillborn"
            return "killed" if self.tests() == "failed" else "survived"
        finally:
            target.write_text(original)


def read_equivalents():
    equivalents = {}
    if EQUIVALENTS.exists():
        for line in EQUIVALENTS.read_text().splitlines():
            if line.strip() and not line.startswith("#"):
                ident, _, why = line.partition(" ")
                equivalents[ident] = why.strip()
    return equivalents


def room_of(path):
    # These folders are rooms of rooms; a file directly in one (the viewer's entry) is its own.
    parts = path.split("/")
    nested = parts[0] in ("host", "platform", "viewer") and len(parts) > 2
    return "/".join(parts[:2]) if nested else parts[0]


def summarise(results, equivalents):
    rooms = {}
    for mutant, outcome in results:
        if outcome == "survived" and mutant.ident in equivalents:
            outcome = "equivalent"
        counts = rooms.setdefault(room_of(mutant.path), dict.fromkeys(
            ("mutants", "stillborn", "killed", "survived", "equivalent"), 0))
        counts["mutants"] += 1
        counts[outcome] += 1
    lines = [f"{'room':<18} {'mutants':>7} {'stillborn':>9} {'killed':>6} {'survived':>8} "
             f"{'equivalent':>10} {'killed %':>8}"]
    for room, c in sorted(rooms.items()):
        counted = c["killed"] + c["survived"]
        ratio = f"{100 * c['killed'] / counted:.0f} %" if counted else "-"
        lines.append(f"{room:<18} {c['mutants']:>7} {c['stillborn']:>9} {c['killed']:>6} "
                     f"{c['survived']:>8} {c['equivalent']:>10} {ratio:>8}")
    return "\n".join(lines), rooms


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("paths", nargs="+", help="product files or folders to mutate")
    parser.add_argument("--build", default="build-mutate", help="the copy and its build")
    parser.add_argument("--tests", help="only the tests whose names match (ctest -R)")
    parser.add_argument("--exclude-tests", help="not the tests whose names match (ctest -E)")
    parser.add_argument("--sample", type=int, default=0,
                        help="at most this many mutants a file, chosen by --seed (0: all)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--timeout", type=int, default=120, help="seconds a test may take")
    parser.add_argument("--only", help="only the mutants with these ids (comma-separated), as "
                        "a report names them: to try the survivors again")
    parser.add_argument("--list", action="store_true", help="list the mutants, run nothing")
    parser.add_argument("--fail-under", type=float, default=0,
                        help="exit 1 when a room kills fewer than this percent")
    options = parser.parse_args()

    mutants = []
    for path in product_files(options.paths):
        found = file_mutants(path)
        if options.sample and len(found) > options.sample:
            found = sorted(random.Random(f"{options.seed}{path}").sample(found, options.sample),
                           key=lambda m: m.line)
        mutants.extend(found)
    if options.only:
        wanted = set(options.only.split(","))
        mutants = [m for m in mutants if m.ident in wanted]
    equivalents = read_equivalents()
    if options.list:
        for m in mutants:
            print(f"{m.ident} {m.describe()}\n{m.diff()}")
        print(f"{len(mutants)} mutants")
        return 0

    # A run stopped from outside still puts the mutated file back.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    runner = Runner(options)
    runner.prepare()
    results = []
    started = time.monotonic()
    for index, mutant in enumerate(mutants, 1):
        outcome = runner.outcome(mutant)
        results.append((mutant, outcome))
        mark = " (listed as equivalent)" if outcome == "survived" and mutant.ident in \
            equivalents else ""
        print(f"[{index}/{len(mutants)} {time.monotonic() - started:.0f} s] {outcome:<9} "
              f"{mutant.ident} {mutant.describe()}{mark}", flush=True)
    survivors = [m for m, outcome in results if outcome == "survived" and
                 m.ident not in equivalents]
    report = [f"\n{len(survivors)} survivors:"] + [f"{m.ident} {m.describe()}\n{m.diff()}"
                                                  for m in survivors]
    table, rooms = summarise(results, equivalents)
    report.append(table)
    text = "\n".join(report)
    print(text)
    (runner.root / "report.txt").write_text(text + "\n")
    for room, c in rooms.items():
        counted = c["killed"] + c["survived"]
        if counted and 100 * c["killed"] / counted < options.fail_under:
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
