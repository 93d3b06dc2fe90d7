#!/usr/bin/env bash
# Regenerates doc/screenshot.png: starts the program on a private Xvfb,
# sculpts a head from the start sphere with a fixed sequence of strokes,
# turns the view to three-quarters and captures the window.
# Usage: scripts/screenshot.sh [OUTPUT.png]
#   SNAP_DIR=DIR  also writes the pictures the strokes file asks for (snap)
#   KEEP_TMP=1    keeps the program's folder (its log.txt) for a look after
# Needs, besides what scripts/deps.sh installs: xwd (x11-apps) and netpbm.
# When they are missing this script installs them with apt; they are needed
# for nothing else, so scripts/deps.sh leaves them out.
set -euo pipefail
out=$(realpath -m "${1:-$(dirname "$0")/../doc/screenshot.png}")
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
width=1000 height=680  # the window; the picture is this size

missing=()
for tool in Xvfb:xvfb xdotool:xdotool xwd:x11-apps xwdtopnm:netpbm; do
  command -v "${tool%%:*}" > /dev/null || missing+=("${tool##*:}")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "installing: ${missing[*]}"
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[[ -f "$build/CMakeCache.txt" ]] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$build" -j"$(nproc)" --target tessaform > /dev/null

# The program runs from a folder of its own, so it starts from the settings
# below and its config.txt, log and crash marker never touch the build tree.
tmp=$(mktemp -d)
xvfb_pid="" app_pid=""
# The program goes first: it must not see its X server vanish under it.
stop() {
  kill "$1" 2> /dev/null || return 0
  for _ in $(seq 50); do kill -0 "$1" 2> /dev/null || break; sleep 0.1; done
  kill -9 "$1" 2> /dev/null || true
  wait "$1" 2> /dev/null || true
}
cleanup() {
  [[ -n "$app_pid" ]] && stop "$app_pid"
  [[ -n "$xvfb_pid" ]] && stop "$xvfb_pid"
  if [[ -n "${KEEP_TMP:-}" ]]; then echo "kept $tmp"; else rm -rf "$tmp"; fi
}
trap cleanup EXIT
cp "$build/tessaform" "$tmp/"
ln -s "$(realpath "$build/data")" "$tmp/data"
{
  printf 'version 3\nwindow_width %i\nwindow_height %i\nwindow_x 0\nwindow_y 0\n' "$width" "$height"
  printf 'window_maximized 0\nsymmetry 1\nenable_shaders 1\ncorner_tesselate 1\nmenu_zoom 1\n'
  printf 'start_mesh_type 0\ndetail_bias 130\nmaterial 0\nwireframe 0\n'
  for i in $(seq 0 19); do printf 'tparam %i 50 50\n' "$i"; done
  printf 'mt_maxthreads 0\nmt_profiler   0\nmt_varrays    0\nmt_tesselate  1\n'
  printf 'mt_beautify   1\nmt_draw       1\nmt_culling    1\nmt_normals    1\nmt_edges      1\n'
} > "$tmp/config.txt"

# Xvfb picks a free display itself and tells its number.
exec 3> "$tmp/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp > "$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do [[ -s "$tmp/display" ]] && break; sleep 0.1; done
[[ -s "$tmp/display" ]] || { echo "Xvfb did not start" >&2; cat "$tmp/xvfb.log" >&2; exit 1; }
DISPLAY=":$(head -n1 "$tmp/display")"
export DISPLAY

LIBGL_ALWAYS_SOFTWARE=1 "$tmp/tessaform" > "$tmp/app.log" 2>&1 &
app_pid=$!
wid=$(timeout 30 xdotool search --sync --name "^Tessaform" | head -n1) || true
[[ -n "$wid" ]] || { echo "no program window" >&2; cat "$tmp/app.log" >&2; exit 1; }
sleep 3

# ---- the stroke vocabulary; coordinates are window pixels
move() { xdotool mousemove --window "$wid" "$1" "$2"; }
pause() { sleep "${1:-0.05}"; }
key() { xdotool key "$1"; pause 0.3; }
# drag BUTTON x0 y0 x1 y1 STEPS: press, move in steps a frame or two
# apart, release
drag() {
  local b=$1 x0=$2 y0=$3 x1=$4 y1=$5 n=$6 i
  move "$x0" "$y0"
  pause 0.15
  xdotool mousedown "$b"
  pause 0.1
  for i in $(seq 1 "$n"); do
    move $((x0 + (x1 - x0) * i / n)) $((y0 + (y1 - y0) * i / n))
    pause 0.06
  done
  pause 0.1
  xdotool mouseup "$b"
  pause 0.4
}
stroke() { drag 1 "$@"; }         # sculpt
carve() { drag 3 "$@"; }          # the inverted tool
turn() { drag 2 "$@"; }           # rotate the view
# setting MODIFIER N: the current tool's size (shift) or strength (ctrl)
# set to N tenths with the wheel: ten steps down to 0, then N up. The
# pointer is over the view, below the sculpture, where the wheel counts.
setting() {
  local i
  move $((width / 2)) $((height - 40))
  xdotool keydown "$1"
  for i in $(seq 10); do xdotool click 5; done
  for i in $(seq "$2"); do xdotool click 4; done
  pause 0.2
  xdotool keyup "$1"
  pause 0.2
}
setsize() { setting shift "$1"; }
setstrength() { setting ctrl "$1"; }

# capture FILE: the window as a PNG. The GL window may use a DirectColor
# visual, which xwdtopnm misreads; the root window's picture has the true
# colours, so it is cut to the window.
capture() {
  # shellcheck disable=SC2034  # all that --shell prints
  local WINDOW X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  xwd -silent -root | xwdtopnm 2> /dev/null | pnmcut "$X" "$Y" "$WIDTH" "$HEIGHT" |
    pnmdepth 255 | pnmquant 256 2> /dev/null | pnmtopng -compression 9 > "$1"
}
# snap NAME: with SNAP_DIR set, a picture of the work so far, for tuning
# the strokes.
snap() { if [[ -n "${SNAP_DIR:-}" ]]; then capture "$SNAP_DIR/$1.png"; fi; }

# shellcheck source=scripts/screenshot-strokes.sh disable=SC1091
source scripts/screenshot-strokes.sh

# The pointer rests on the top bar, away from the buttons, so neither the
# brush ring nor a swollen button shows; the mesh settles meanwhile.
move 600 22
sleep 2
mkdir -p "$(dirname "$out")"
capture "$tmp/shot.png"
mv "$tmp/shot.png" "$out"
echo "wrote $out ($(stat -c %s "$out") bytes)"
