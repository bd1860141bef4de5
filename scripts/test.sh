#!/usr/bin/env bash
# Builds everything (native, Pellsweep.exe, Pellsweep64.exe) and runs every test, Wine ones included.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
