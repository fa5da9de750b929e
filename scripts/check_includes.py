#!/usr/bin/env python3
"""Fails when a file includes from a folder its room may not include from.

The rooms and what each may include are read from the include-rules block of ARCHITECTURE.md,
the one place they are written down. A file belongs to the room whose folder is the longest
prefix of its path; so does an included header."""
import pathlib
import re
import subprocess
import sys

top = pathlib.Path(__file__).resolve().parent.parent


def read_rules():
    text = (top / "ARCHITECTURE.md").read_text()
    block = re.search(r"```include-rules\n(.*?)```", text, re.S)
    if not block:
        sys.exit("check_includes: no include-rules block in ARCHITECTURE.md")
    rules = {}
    for line in block.group(1).splitlines():
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        rooms, allowed = line.split(":", 1)
        for room in rooms.split():
            rules[room] = allowed.split()
    return rules


def room_of(path, rooms):
    matches = [r for r in rooms if path == r or path.startswith(r + "/")]
    return max(matches, key=len) if matches else None


def main():
    rules = read_rules()
    files = subprocess.run(["git", "ls-files", "*.cpp", "*.h"], cwd=top, check=True,
                           capture_output=True, text=True).stdout.split()
    wrong = []
    for name in files:
        room = room_of(name, rules)
        if room is None:
            wrong.append(f"{name}: in no room of ARCHITECTURE.md")
            continue
        allowed = rules[room]
        if allowed == ["*"]:
            continue
        for number, line in enumerate((top / name).read_text().splitlines(), 1):
            included = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
            if not included:
                continue
            target = room_of(included.group(1), rules)
            if target is None:
                continue  # not one of ours
            if not any(target == a or target.startswith(a + "/") for a in allowed):
                wrong.append(f"{name}:{number}: {room} may not include {included.group(1)}")
    for line in wrong:
        print(line)
    if wrong:
        print(f"check_includes: {len(wrong)} include(s) against the rules of ARCHITECTURE.md")
        return 1
    print(f"check_includes: {len(files)} files, every include within its room's rules")
    return 0


if __name__ == "__main__":
    sys.exit(main())
