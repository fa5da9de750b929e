#!/usr/bin/env python3
"""Fails when a product function runs over the longest the house takes (80 lines)."""
import json
import pathlib
import subprocess
import sys

top = pathlib.Path(__file__).resolve().parent.parent
PRODUCT = ["common", "platform", "terminal", "viewer", "plugin", "host", "tools"]
LONGEST = 80


def main():
    tags = subprocess.run(
        ["ctags", "--output-format=json", "--fields=+ne", "--kinds-C++=f", "--languages=C++",
         "-R", "-f", "-"] + PRODUCT, cwd=top, check=True, capture_output=True, text=True).stdout
    long_ones = []
    for line in tags.splitlines():
        tag = json.loads(line)
        if "line" in tag and "end" in tag:
            length = tag["end"] - tag["line"] + 1
            if length > LONGEST:
                scope = tag.get("scope", "")
                long_ones.append(f"{tag['path']}:{tag['line']}: {scope + '::' if scope else ''}"
                                 f"{tag['name']} is {length} lines")
    for line in long_ones:
        print(line)
    if long_ones:
        print(f"check_function_length: {len(long_ones)} function(s) over {LONGEST} lines")
        return 1
    print(f"check_function_length: no product function over {LONGEST} lines")
    return 0


if __name__ == "__main__":
    sys.exit(main())
