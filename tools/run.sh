#!/usr/bin/env bash
# Starts the simulated bridge (when it has been built) on COM99 and then the
# tool, in the current folder, where the settings file lives. The simulator
# stops when the window closes.
set -uo pipefail
build=${1:-build}
sim="$build/qvnsim"
pid=
if [ -x "$sim" ]; then
    "$sim" --com 99 &
    pid=$!
    trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null' EXIT
    sleep 0.3
fi
"$build/ZARPO"
