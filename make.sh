#!/bin/sh
# The front door on any Debian or Ubuntu machine, also where make itself is
# not installed yet: installs the base packages (make among them) when make is
# missing, then runs make with the same arguments. Every make target installs
# the rest of what it needs itself (scripts/setup-deps.sh), using sudo only
# when not run as root.
#   ./make.sh run     build and start the program
#   ./make.sh test    build and run every test
set -e
cd "$(dirname "$0")"
if ! command -v make >/dev/null 2>&1; then
    echo "make.sh: make is not installed; installing the base packages first" >&2
    # bash is an essential package on Debian: it is always there.
    bash scripts/setup-deps.sh base
fi
exec make "$@"
