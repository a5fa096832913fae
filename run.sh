#!/usr/bin/env bash
# Installs what is missing, builds, and starts the programmer against the simulated line.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIVRON_TESTS=OFF -DTIVRON_BENCH=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
# The programmer reads and rewrites devices.xml in its current folder: give it a folder of its own.
run_dir=build/release/run
mkdir -p "$run_dir"
for f in data/*; do
  [ -e "$run_dir/$(basename "$f")" ] || cp -r "$f" "$run_dir/"
done
cd "$run_dir"
exec ../bin/tivron "$@"
