#!/usr/bin/env python3
"""Fails a test run in which a test was skipped. ctest counts a skip (gtest's "[  SKIPPED ]") as
no failure, so a machine without what a test needs would test less and say nothing; here it
fails, each skip named with why, until the machine has what the test needs (make deps). With
--allow-skips (make test ALLOW_SKIPS=1) the skips are listed the same way and pass.

Reads the JUnit file of the run (ctest --output-junit)."""
import argparse
import sys
import xml.etree.ElementTree as ElementTree


def why(case):
    """What the test said when it skipped: gtest's lines after "FILE:LINE: Skipped"."""
    output = (case.findtext("system-out") or "").splitlines()
    for at, line in enumerate(output):
        if line.endswith(": Skipped"):
            said = []
            for rest in output[at + 1:]:
                if rest.startswith("[  SKIPPED ]"):
                    break
                said.append(rest.strip())
            return " ".join(part for part in said if part) or "no reason given"
    # Not one of gtest's skips (disabled, say): ctest's own word for it.
    return case.find("skipped").get("message", "not run")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("junit", help="the JUnit file ctest wrote")
    parser.add_argument("--allow-skips", action="store_true", help="list skips, but pass")
    args = parser.parse_args()
    try:
        cases = ElementTree.parse(args.junit).getroot().iter("testcase")
    except (OSError, ElementTree.ParseError) as error:
        print(f"check_skips: cannot read the test results {args.junit}: {error}", file=sys.stderr)
        return 2
    cases = list(cases)
    skipped = [(case.get("name"), why(case)) for case in cases if case.find("skipped") is not None]
    if not skipped:
        print(f"check_skips: {len(cases)} tests ran, none skipped")
        return 0
    if args.allow_skips:
        verdict, out = "allowed by ALLOW_SKIPS", sys.stdout
    else:
        verdict, out = ("which fails the run: `make deps` installs what they need, "
                        "`make test ALLOW_SKIPS=1` lets them pass"), sys.stderr
    print(f"check_skips: {len(skipped)} of {len(cases)} tests skipped, {verdict}:", file=out)
    for name, reason in skipped:
        print(f"  {name}: {reason}", file=out)
    return 0 if args.allow_skips else 1


if __name__ == "__main__":
    sys.exit(main())
