#!/usr/bin/env bash
# The main job: a real cleanup run of Pellsweep64.exe under Wine, on a fresh
# prefix seeded with the suite's leftovers (tests/scenarios/leftovers), with
# "-l C:\clean.log -d -c". Prints the console output, the log, what is left of
# the seeded directories and what was registered for deletion at restart.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" >/dev/null

scenario=${1:-tests/scenarios/leftovers}
work=$PWD/build/wine-cleanup
rm -rf "$work"
mkdir -p "$work"
bash tests/wine/make_base_prefix.sh "$work/base"
python3 tests/wine/wine_runner.py --base "$work/base" --exe "$PWD/build/Pellsweep64.exe" \
    --locker "$PWD/build/win64-tools/locker.exe" "$scenario" "$work/out"

show() {
    echo
    echo "==== $1"
    tr -d '\r' <"$2"
    echo
}
show "console output" "$work/out/console.txt"
for log in "$work"/out/logs/*; do
    [ -e "$log" ] && show "log file $(basename "$log")" "$log"
done
show "left in the watched directories" "$work/out/tree.txt"
show "registered for deletion at the next restart" "$work/out/pending.txt"
echo "exit status: $(cat "$work/out/exit.txt")"
rm -rf "$work/base"
