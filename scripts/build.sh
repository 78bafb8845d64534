#!/usr/bin/env bash
# Configures and builds Skyvane's builds, each in its own directory:
#   cross   build/cross   MinGW i686: skyvane.scr, its data files and the Win32 tests
#                         (ctest runs those under Wine through scripts/wine-run)
#   native  build/native  the pure code and its unit tests under ASan and UBSan, and
#                         the libFuzzer targets of tests/fuzz over the same objects
#                         (built with clang: one compile of the pure code serves both)
#   fuzz    build/native  the libFuzzer targets alone
# Usage: scripts/build.sh [cross] [native] [fuzz]   (default: cross native)
# Parallel jobs: SKYVANE_JOBS (default 2). Only some targets (for instance
# "skyvane art", the program and its data files): SKYVANE_TARGETS (default all).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${SKYVANE_JOBS:-2}
read -r -a targets <<<"${SKYVANE_TARGETS:-}"
builds=("$@")
[ ${#builds[@]} -gt 0 ] || builds=(cross native)

# One build of a directory at a time: the test command builds the unit tests
# while an end-to-end test runs scripts/run-saver.sh, which builds too.
configure_and_build() {
  local dir=$1; shift
  mkdir -p "$dir"
  (
    flock 9
    cmake -S "$root" -B "$dir" -G Ninja -Wno-dev "$@" >/dev/null &&
      ninja -C "$dir" -j "$jobs" "${targets[@]}"
  ) 9>"$dir.lock"
}

native_options=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSKYVANE_FUZZ=ON)

for build in "${builds[@]}"; do
  echo "build: $build"
  case $build in
    cross)
      # What ships is dated by the commit, as in a release (scripts/release.sh),
      # so that this build and a release of the same commit are the same bytes.
      SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || true)
      [ -n "$SOURCE_DATE_EPOCH" ] && export SOURCE_DATE_EPOCH
      configure_and_build "$root/build/cross" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run" ;;
    native)
      configure_and_build "$root/build/native" "${native_options[@]}" ;;
    fuzz)
      # In a subshell: the fuzz targets alone must not become a later build's.
      (
        [ ${#targets[@]} -gt 0 ] ||
          mapfile -t targets < <(cd "$root/tests/fuzz" && for f in fuzz_*.cpp; do echo "${f%.cpp}"; done)
        configure_and_build "$root/build/native" "${native_options[@]}"
      ) ;;
    *)
      echo "build: unknown build '$build' (cross, native or fuzz)" >&2
      exit 2 ;;
  esac
done
