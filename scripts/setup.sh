#!/usr/bin/env bash
# Installs everything a fresh Debian 12 machine lacks to build, run and test Skyvane,
# and cross-builds libjpeg-turbo for MinGW into build/deps. Safe to run again: every
# step checks first and does nothing when its result is already there.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
deps="$here/build/deps"

packages=(wine wine32 wine64 xvfb xdotool imagemagick x11-utils x11-apps
          g++-mingw-w64-i686 cmake ninja-build nasm dpkg-dev
          googletest libgtest-dev clang libclang-rt-14-dev libjpeg62-turbo-dev
          librsvg2-bin libjpeg-turbo-progs python3 python3-pytest python3-pytest-xdist python3-pil python3-numpy python3-pefile nsis file
          fonts-liberation fonts-wine fonts-dejavu-core
          x11-xserver-utils libxinerama1:i386)

need_root() { if [ "$(id -u)" != 0 ]; then echo "setup: run as root to install: $*" >&2; exit 1; fi; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

src_list=/etc/apt/sources.list.d/skyvane-deb-src.sources
if [ ! -f "$src_list" ]; then
  need_root "deb-src entry"
  # Copy the machine's own apt entry with the source type, so no host name is written here.
  orig=$(ls /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -v skyvane | head -n1 || true)
  if [ -n "$orig" ]; then
    sed 's/^Types:.*/Types: deb-src/' "$orig" > "$src_list"
  else
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > /etc/apt/sources.list.d/skyvane-deb-src.list
    touch "$src_list"
  fi
  updated=no
fi

if [ ${#missing[@]} -gt 0 ] || [ "${updated:-}" = no ]; then
  need_root "${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  [ ${#missing[@]} -gt 0 ] && apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# libjpeg-turbo, cross-built from Debian's source package into a build-local prefix.
jpeg_prefix="$deps/libjpeg-mingw"
if [ ! -f "$jpeg_prefix/lib/libjpeg.a" ]; then
  mkdir -p "$deps/src"
  cd "$deps/src"
  ls libjpeg-turbo_*.orig.tar.gz >/dev/null 2>&1 || apt-get source --download-only -qq libjpeg-turbo
  tarball=$(ls libjpeg-turbo_*.orig.tar.gz | head -n1)
  rm -rf libjpeg-turbo-src && mkdir libjpeg-turbo-src
  tar -xzf "$tarball" -C libjpeg-turbo-src --strip-components=1
  cmake -S libjpeg-turbo-src -B libjpeg-turbo-build -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON -DCMAKE_INSTALL_PREFIX="$jpeg_prefix" -Wno-dev >/dev/null
  cmake --build libjpeg-turbo-build >/dev/null
  cmake --install libjpeg-turbo-build >/dev/null
fi
echo "setup: ready (libjpeg for MinGW in $jpeg_prefix)"
