#!/usr/bin/env bash
# Makes what a user downloads, in dist/, named with the version of CMakeLists.txt:
#   skyvane-VERSION-setup.exe   the installer
#   skyvane-VERSION.zip         skyvane.scr, the data files, help.txt and credits.txt
#   skyvane-VERSION.sha256      their SHA-256 sums (sha256sum -c reads it)
# from the commit the checkout is at, in its own build directory (build/release).
# Two runs on the same commit, in two clones or on two machines with the same
# packages, give the same bytes: every date (the programs' time stamps, the
# installer's and the zip's file dates) is the commit's, SOURCE_DATE_EPOCH,
# and the zip's order is fixed.
# Uses the libjpeg-turbo that scripts/setup.sh builds, or SKYVANE_JPEG_PREFIX;
# parallel jobs: SKYVANE_JOBS (default 2).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release: the checkout differs from its commit; commit or stash first" >&2
  exit 1
fi
if [ -z "${SKYVANE_JPEG_PREFIX:-}" ]; then
  bash scripts/setup.sh
  SKYVANE_JPEG_PREFIX=$root/build/deps/libjpeg-mingw
fi
version=$(sed -n 's/^project(skyvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
build=$root/build/release
dist=$root/dist

cmake -S "$root" -B "$build" -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DSKYVANE_JPEG_PREFIX="$SKYVANE_JPEG_PREFIX" >/dev/null
ninja -C "$build" -j "${SKYVANE_JOBS:-2}" installer

name=skyvane-$version
rm -rf "$dist"
mkdir -p "$dist"
cp "$build/skyvane-setup.exe" "$dist/$name-setup.exe"
/usr/bin/python3 scripts/release_zip.py "$build/installer-stage" "$dist/$name.zip" "$name"
(cd "$dist" && sha256sum "$name-setup.exe" "$name.zip" > "$name.sha256")
echo "release: $version of commit $(git rev-parse --short HEAD) in $dist:"
cat "$dist/$name.sha256"
