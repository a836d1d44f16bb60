#!/usr/bin/env bash
# Fetches the source of Allegro 4.4 (Debian's source package allegro4.4) into
# DIR through a private apt sources folder made from this machine's own binary
# package entries turned into source entries: the system's apt state is never
# touched and no package host is named here.
#   fetch-allegro-source.sh DIR     leaves DIR/allegro_*.orig.tar.gz
set -euo pipefail
dir=$(realpath -m "$1")
apt_dir=$dir/apt
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/archives/partial"

# The entries apt itself reads: sources.list and sources.list.d/*.list (one
# line each) and sources.list.d/*.sources (stanzas), each "deb" made "deb-src".
out=$apt_dir/sources.list.d/from-machine.list
: >"$out"
for list in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$list" ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$list" >>"$out"
done
stanzas=$apt_dir/sources.list.d/from-machine.sources
: >"$stanzas"
for sources in /etc/apt/sources.list.d/*.sources; do
  [ -f "$sources" ] || continue
  # Keep only stanzas whose Types name deb; write them back as deb-src.
  awk 'BEGIN { RS = ""; ORS = "\n\n" }
       { if ($0 ~ /(^|\n)Types:[^\n]*(^|[ \t])deb([ \t]|\n|$)/) {
           sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print } }' \
      "$sources" >>"$stanzas"
done
if ! grep -q 'deb-src' "$out" "$stanzas"; then
  echo "fetch-allegro-source: this machine's apt lists no package entries to take sources from" >&2
  exit 1
fi

apt_options=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
  -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache::Archives="$apt_dir/archives"
  -o Dir::Cache::pkgcache="" -o Dir::Cache::srcpkgcache="" -o APT::Sandbox::User=root)
apt-get "${apt_options[@]}" -qq update 2>"$apt_dir/update.log" || { cat "$apt_dir/update.log" >&2; exit 1; }
cd "$dir"
# Debian's own patch tarball may fail to arrive; the upstream one is all we use.
apt-get "${apt_options[@]}" -qq source --download-only allegro4.4 2>"$apt_dir/source.log" || true
shopt -s nullglob
tarballs=("$dir"/allegro4.4_*.orig.tar.gz)
if [ ${#tarballs[@]} -eq 0 ]; then
  echo "fetch-allegro-source: the source of allegro4.4 could not be fetched" >&2
  exit 1
fi
echo "${tarballs[0]}"
