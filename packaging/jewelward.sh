#!/bin/sh
# jewelward - starts the installed game in the player's own folder.
# The game reads its pictures and music, and reads and writes heroData.txt, in
# its working folder. This gives each player a folder of their own:
# ${XDG_DATA_HOME:-$HOME/.local/share}/jewelward, holding links to every
# installed data file (made again whenever they point elsewhere or the
# installed set changes) and the save, which is never touched here.
# Exits with the game's status, or 255 when the folder cannot be used.

# The install tree relative to this script, so any prefix works.
self=$(readlink -f -- "$0") || self=$0
prefix=$(dirname -- "$(dirname -- "$self")")
data=$prefix/share/games/jewelward
game=$prefix/lib/games/jewelward/jewelward

refuse() {
    echo "jewelward: $*" >&2
    exit 255
}

[ -d "$data" ] && [ -x "$game" ] || refuse "the game is not installed completely under $prefix"
if [ -n "${XDG_DATA_HOME:-}" ]; then
    base=$XDG_DATA_HOME
elif [ -n "${HOME:-}" ]; then
    base=$HOME/.local/share
else
    refuse "neither XDG_DATA_HOME nor HOME is set, so there is no folder for the save"
fi
folder=$base/jewelward
mkdir -p -- "$folder" 2>/dev/null && [ -d "$folder" ] || refuse "cannot make the folder $folder"
# A real write, not just the permission bits: root ignores those, a full or
# read-only file system does not.
probe=$folder/.jewelward-write-test.$$
(: >"$probe") 2>/dev/null && rm -f -- "$probe" || refuse "cannot write in the folder $folder"

# Links that led into an installed data folder but no longer lead anywhere
# (a file dropped by an upgrade, an uninstalled prefix) go. A name the install
# still has is left to the loop below, which replaces it in one step: removed
# here, it could be missing just when another launcher's game starts.
for link in "$folder"/*; do
    [ -e "$data/${link##*/}" ] && continue
    [ -L "$link" ] && [ ! -e "$link" ] && case $(readlink -- "$link") in
    */share/games/jewelward/*) rm -f -- "$link" ;;
    esac
done
# Each link is made under a name of this launcher's own and renamed over
# whatever stands in its place, so another launcher at work in the same folder
# (a double click) always finds the old entry or the new link, never a gap it
# could fall into; a link that is already right is left alone.
temporary=$folder/.jewelward-link.$$
for file in "$data"/*; do
    name=${file##*/}
    [ "$name" = heroData.txt ] && continue
    link=$folder/$name
    [ -L "$link" ] && [ "$(readlink -- "$link")" = "$file" ] && continue
    if ! { ln -s -f -T -- "$file" "$temporary" && mv -f -T -- "$temporary" "$link"; } 2>/dev/null; then
        rm -f -- "$temporary"
        refuse "cannot link $file into $folder"
    fi
done

cd -- "$folder" || refuse "cannot enter the folder $folder"
exec "$game"
