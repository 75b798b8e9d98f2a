#!/usr/bin/env bash
# Builds the Release programs and runs the main job: the viewer PRead on the
# sample movie table (made in build/release/movies when it is missing).
# With a display (DISPLAY or a Wayland socket) the window opens as usual;
# without one, PRead renders the window off-screen once per order and the
# script says where the pictures are.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DORVEX_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)"
bin="$PWD/build/release"
data="$bin/movies"
mkdir -p "$data"
if [ ! -e "$data/movie_r.dbf" ] || [ ! -e "$data/movie_r.mdx" ]; then
  "$bin/tools/make_movies" "$data"
fi
cd "$data"
wayland_socket="${XDG_RUNTIME_DIR:-/run/user/$(id -u)}/${WAYLAND_DISPLAY:-wayland-0}"
if [ -n "${DISPLAY:-}" ] || [ -S "$wayland_socket" ]; then
  exec "$bin/src/app/PRead" "$@"
fi
echo "No display: rendering the viewer off-screen."
for order in TITLE RUNTIME YEAR STARS; do
  picture="$bin/PRead-$order.png"
  "$bin/src/app/PRead" --order "$order" --screenshot "$picture"
  echo "Picture of the window sorted by $order: $picture"
done
