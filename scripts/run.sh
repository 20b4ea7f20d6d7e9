#!/usr/bin/env bash
# Runs the station on the simulated production line against a local stand-in
# for the factory back-end: installs what is missing, builds a Release tree
# with its application folder, starts tools/backend-sim on a free port of
# 127.0.0.1 with a demo order, points config.ini at it and starts the station.
# Log in (the password "demo" is remembered), pick an order and watch the
# line's cameras being tested and submitted. Closing the station stops the
# back-end stand-in; the forms it received stay in demo-results.txt.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

BUILD_DIR=${BUILD_DIR:-build-release}
JOBS=${JOBS:-$(nproc)}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSTATION_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS" --target dravonix backend-sim

app="$BUILD_DIR/station-app"   # the build lays out Skin/, the translation and the speaker sound here
cp sdk/sim/SimLineProfile.json "$app/SimProfile.json"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display to show the station on (DISPLAY is not set)" >&2
  exit 1
fi

simlog="$app/backend-sim.log"
"$BUILD_DIR/tools/backend-sim/backend-sim" --port 0 --results "$app/demo-results.txt" \
  --reply "init/test/config=scripts/demo/TestConfig.json" >"$simlog" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT

host=""
for _ in $(seq 100); do
  host=$(sed -n 's/^backend-sim listening on //p' "$simlog")
  [ -n "$host" ] && break
  kill -0 "$sim" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$host" ]; then
  echo "run.sh: the back-end stand-in did not start:" >&2
  cat "$simlog" >&2
  exit 1
fi
echo "run.sh: back-end stand-in on $host"

# A first run seeds the settings; later runs keep them and only follow the port.
if [ ! -f "$app/config.ini" ]; then
  sed "s|@SERVICE@|$host|" scripts/demo/config.ini >"$app/config.ini"
else
  sed -i "s|^ServiceIp=.*|ServiceIp=$host|" "$app/config.ini"
fi

status=0
"$app/dravonix" || status=$?
exit "$status"
