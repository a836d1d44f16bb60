#!/usr/bin/env bash
# Builds Allegro 4.4 for 64-bit Windows from Debian's source package with our
# patch applied: static, the core library only, installed into DIR/prefix.
# A second run with the same patch and toolchain does nothing (no fetch, no
# compile): DIR/prefix/stamp records what the library was built from.
#   build-allegro.sh DIR TOOLCHAIN_FILE PATCH
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=$(realpath -m "$1")
toolchain=$(realpath "$2")
patch_file=$(realpath "$3")
prefix=$dir/prefix
want="$(sha256sum "$patch_file" "$toolchain" "$0" | cut -d' ' -f1 | tr '\n' ' ')"
if [ -f "$prefix/stamp" ] && [ "$(cat "$prefix/stamp")" = "$want" ] && [ -f "$prefix/lib/liballeg.a" ]; then
  exit 0
fi
mkdir -p "$dir"
shopt -s nullglob
tarballs=("$dir"/source/allegro4.4_*.orig.tar.gz)
if [ ${#tarballs[@]} -eq 0 ]; then
  "$here/fetch-allegro-source.sh" "$dir/source" >/dev/null
  tarballs=("$dir"/source/allegro4.4_*.orig.tar.gz)
fi
rm -rf "$dir/src" "$dir/build" "$prefix"
mkdir -p "$dir/src" "$dir/build"
tar -xzf "${tarballs[0]}" -C "$dir/src" --strip-components=1
patch -d "$dir/src" -p1 -s <"$patch_file"
# Without MINGDIR Allegro's CMake guesses /usr as the install prefix.
MINGDIR=$prefix cmake -S "$dir/src" -B "$dir/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DSHARED=OFF \
  -DWANT_ALLEGROGL=OFF -DWANT_LOADPNG=OFF -DWANT_LOGG=OFF -DWANT_JPGALLEG=OFF -DWANT_EXAMPLES=OFF \
  -DWANT_TOOLS=OFF -DWANT_TESTS=OFF -DWANT_DOCS=OFF -Wno-dev >"$dir/configure.log" 2>&1
cmake --build "$dir/build" -j"${JOBS:-2}" >"$dir/build.log" 2>&1 || { tail -30 "$dir/build.log" >&2; exit 1; }
cmake --install "$dir/build" >"$dir/install.log"
[ -f "$prefix/lib/liballeg.a" ] || { echo "build-allegro: no liballeg.a in $prefix/lib" >&2; exit 1; }
echo "$want" >"$prefix/stamp"
