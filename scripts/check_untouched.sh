#!/usr/bin/env bash
# Fails when a test run changed the checkout: tests write only into their own temporary folders
# and the build folders. `before FILE` notes what is already changed or new (a developer's own
# work), `after FILE` names whatever the run added to it.
set -euo pipefail
cd "$(dirname "$0")/.."
git rev-parse --is-inside-work-tree >/dev/null 2>&1 || exit 0  # not a git checkout
state() { { git ls-files --others --exclude-standard; git diff --name-only; } | sort -u; }
case "${1:-}" in
  before) state >"$2" ;;
  after)
    added=$(comm -13 "$2" <(state))
    if [ -n "$added" ]; then
      echo "check_untouched: the test run wrote into the checkout:" $added >&2
      exit 1
    fi ;;
  *) echo "usage: $0 before|after FILE" >&2; exit 2 ;;
esac
