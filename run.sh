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
# The users' manual, where F1 looks for it; the build's is the newest.
mkdir -p "$run_dir/docs"
cp build/release/docs/users_manual.pdf "$run_dir/docs/users_manual.pdf"
cd "$run_dir"
# The desktop key reader (DLL/libKeyDLL.so) reads the key lying on it from a file: the demo's own
# key, unless the engineer names another (TIVRON_KEYREADER= plays a desktop without a reader).
export TIVRON_KEYREADER="${TIVRON_KEYREADER-$PWD/demo-key.txt}"
# The simulated line: the simulator owns the loopback virtual bus (or TIVRON_CANBUS) and the
# programmer joins it; the simulator stops when the programmer ends.
sim_out=$(mktemp)
../bin/tivron-sim demo-line.xml </dev/null >"$sim_out" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; rm -f "$sim_out"' EXIT
for _ in $(seq 100); do
  grep -q '^ready' "$sim_out" && break
  if ! kill -0 "$sim_pid" 2>/dev/null; then
    echo "run.sh: the line simulator did not start; the programmer runs without it" >&2
    break
  fi
  sleep 0.1
done
../bin/tivron "$@"
