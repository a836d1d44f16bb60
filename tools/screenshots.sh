#!/usr/bin/env bash
# Takes the README's screenshots from the real game under Xvfb: the title, the
# village after a short walk, and a fight beside the dark lord's arena with
# the HUD. Writes docs/title.png, docs/village.png and docs/fight.png.
#   tools/screenshots.sh BUILD_FOLDER
# DISPLAYS="40 41" picks the Xvfb display numbers tried (default 81 to 99).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d)
display=""
cleanup() {
  [ -n "${game:-}" ] && kill "$game" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for n in ${DISPLAYS:-$(seq 81 99)}; do
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 50); do xdpyinfo -display ":$n" >/dev/null 2>&1 && display=":$n" && break; sleep 0.1; done
  [ -n "$display" ] && break
  kill "$xvfb" 2>/dev/null || true
done
[ -n "$display" ] || { echo "no Xvfb display" >&2; exit 1; }
export DISPLAY=$display HOME=$work
cp -r "$build/data" "$work/data"

press() { xdotool keydown "$1"; sleep "${2:-0.1}"; xdotool keyup "$1"; }
start() {
  (cd "$work/data" && exec "$build/jewelward" >/dev/null 2>&1) &
  game=$!
  xdotool search --sync --name Jewelward >/dev/null
  sleep 0.5
  xdotool mousemove 320 240
}
stop() { press Escape 0.2; wait "$game" || true; game=""; }

start
import -window root "$root/docs/title.png"
for _ in 1 2 3 4; do press Return; sleep 0.3; done
xdotool keydown Down; sleep 2.4; xdotool keyup Down
xdotool keydown Right; sleep 1.6; xdotool keyup Right
import -window root "$root/docs/village.png"
stop

# The hero beside the dark lord, hurt, with a jewel taken, mid-swing.
printf '2180\n2250\n2470\n2496\n0\n3\n17\n25\n12\n20\n21\n20\n1\n0\n0\n' > "$work/data/heroData.txt"
start
press F2
sleep 0.3
press Right 0.05
press Return 0.05
sleep 0.35
import -window root "$root/docs/fight.png"
stop
echo "screenshots written to $root/docs"
