#!/usr/bin/env bash
# Takes the README's screenshots from the real game under Xvfb: the title, the
# hero behind a roof in the village, the hero under a wood's canopy, and a
# fight with an ogre with the HUD. Writes docs/title.png, docs/village.png,
# docs/wood.png and docs/fight.png.
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
  xdotool mousemove 320 240
  # The title takes keys once it is drawn (a key let go before is missed).
  for _ in $(seq 150); do
    import -window root "$work/now.png"
    [ "$(compare -metric AE -fuzz 5% "$work/now.png" "$work/data/Main Menu.bmp" null: 2>&1 || true)" -lt 3000 ] && return
    sleep 0.1
  done
  echo "no title on the screen" >&2
  exit 1
}
stop() { press Escape 0.2; wait "$game" || true; game=""; }
# Waits until the title has gone (the world loads longer on a busy machine).
left_title() {
  for _ in $(seq 150); do
    import -window root "$work/now.png"
    [ "$(compare -metric AE "$work/now.png" "$root/docs/title.png" null: 2>&1 || true)" -gt 100000 ] && return
    sleep 0.1
  done
  echo "the game did not leave the title" >&2
  exit 1
}

start
import -window root "$root/docs/title.png"
stop

# The village: the hero just north of a house, his legs behind its roof, the
# doors of the houses below him.
printf '0\n224\n208\n416\n0\n1\n25\n25\n20\n20\n0\n10\n0\n0\n0\n' > "$work/data/heroData.txt"
start
press F2
left_title
sleep 0.5
import -window root "$root/docs/village.png"
stop

# A wood: the hero under the edge of its canopy, the trunks of its front row
# standing where a step north is refused.
printf '2144\n704\n2416\n896\n2\n1\n25\n25\n20\n20\n0\n10\n0\n0\n0\n' > "$work/data/heroData.txt"
start
press F2
left_title
sleep 0.5
import -window root "$root/docs/wood.png"
stop

# A fight with an ogre, mid-swing: the enemies are placed from the clock's
# second at F2, so the replay tool tells where they stand for a second just
# ahead, the save puts the hero 110 pixels left of the ogre with the most
# company (his swing falls short: the ogres stay to be seen), and F2
# is pressed inside that second.
start
seed=$(( $(date +%s) + 6 ))
printf '0\n0\n272\n192\n0\n1\n25\n25\n20\n20\n0\n10\n0\n0\n0\n' > "$work/place.save"
printf 'seed %d\nsave place.save\n2 -\n1 F2\n1 -\n' "$seed" > "$work/place.replay"
(cd "$work" && "$build/tools/replay" --data "$build/data" --no-effects place.replay) > "$work/places.txt" 2>/dev/null
read -r hx hy cx cy < <(python3 - "$work/places.txt" "$root/src/world/walk_grids.cpp" <<'PY'
import re, sys
grid = re.findall(r'"([01]{100})"', open(sys.argv[2]).read())[:100]
def open_ground(x, y):  # free cells all round the figure's cell: a fight in the open
    r, c = y // 32 + 1, x // 32 + 1
    return all(0 <= r + i < 100 and 0 <= c + j < 100 and grid[r + i][c + j] == "0"
               for i in range(-3, 4) for j in range(-4, 4))
places = []
for line in open(sys.argv[1]):
    words = line.replace(":", "").split()
    if words and words[0] in ("lizard", "ogre"):
        places.append((words[0], int(words[3]), int(words[5])))
def company(p):
    return sum(1 for q in places if abs(q[1] - p[1]) < 260 and abs(q[2] - p[2]) < 200)
ogres = [p for p in places if p[0] == "ogre" and 400 <= p[1] <= 2800 and 300 <= p[2] <= 2800]
_, x, y = max(ogres, key=lambda p: (open_ground(p[1], p[2]), company(p)))
print(x - 110, y, x - 110 - 272, y - 192)
PY
)
printf '%d\n%d\n%d\n%d\n0\n3\n17\n25\n12\n20\n21\n35\n1\n0\n0\n' "$cx" "$cy" "$hx" "$hy" > "$work/data/heroData.txt"
echo "fight: the hero at ($hx, $hy), seed $seed" >&2
python3 -c "import time; time.sleep(max(0.0, $seed + 0.1 - time.time()))" # the enemies are placed from the second of F2
press F2
# Swing at once once the title has gone, before the ogre wanders off.
left_title
press Return 0.08
sleep 0.3
import -window root "$root/docs/fight.png"
stop
echo "screenshots written to $root/docs"
