#!/usr/bin/env bash
# Fails when a C++ file is not as clang-format (with the root .clang-format) would write it.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
echo "check_format: every C++ file as clang-format writes it"
