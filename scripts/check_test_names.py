#!/usr/bin/env python3
"""Fails when a parameterised test suite has no name generator: its cases would be listed as
/0, /1, ... with their raw bytes, and a failure would not say which case it was."""
import pathlib
import re
import sys

top = pathlib.Path(__file__).resolve().parent.parent


def arguments(text, start):
    """The top-level arguments of the call whose '(' is at start."""
    depth, args, current, quote = 0, [], "", None
    for i in range(start, len(text)):
        c = text[i]
        if quote:
            current += c
            if c == "\\":
                current += text[i + 1] if i + 1 < len(text) else ""
            elif c == quote:
                quote = None
            continue
        if c in "\"'" and not (c == "'" and current[-1:].isalnum()):
            quote = c
        if c in "([{":
            depth += 1
            if depth == 1:
                continue
        elif c in ")]}":
            depth -= 1
            if depth == 0:
                return args + [current.strip()]
        elif c == "," and depth == 1:
            args.append(current.strip())
            current = ""
            continue
        current += c
    return args


def main():
    unnamed = []
    for path in sorted((top / "tests").rglob("*.cpp")):
        text = path.read_text(encoding="utf-8")
        for found in re.finditer(r"\bINSTANTIATE_TEST_SUITE_P\s*\(", text):
            if len(arguments(text, found.end() - 1)) < 4:
                line = text.count("\n", 0, found.start()) + 1
                unnamed.append(f"{path.relative_to(top)}:{line}: INSTANTIATE_TEST_SUITE_P "
                               "without a name generator")
    for line in unnamed:
        print(line)
    if unnamed:
        print(f"check_test_names: {len(unnamed)} parameterised suite(s) whose cases have no names")
        return 1
    print("check_test_names: every parameterised suite names its cases")
    return 0


if __name__ == "__main__":
    sys.exit(main())
