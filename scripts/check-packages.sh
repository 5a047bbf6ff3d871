#!/usr/bin/env bash
# Builds the Debian packages from an existing build directory (BUILD_DIR,
# default build), checks what each one holds and declares, unpacks them into
# a scratch root and runs the packaged kestrelctl under the packaged
# kestrel-sim there. Skips when dpkg-deb is not available.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${BUILD_DIR:-build}")
if ! command -v dpkg-deb >/dev/null || ! command -v cpack >/dev/null; then
  echo "dpkg-deb or cpack not found: package check skipped"
  exit 0
fi
out=$build/packages
rm -rf "$out"
(cd "$build" && cpack -G DEB -B "$out" >"$build/cpack.log") || { tail -n 30 "$build/cpack.log"; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
status=0
fail() { echo "package check: $*"; status=1; }

# check PACKAGE "depends pattern" FILE... : the package exists, declares the
# dependency and holds every file named.
check() {
  local package=$1 depends=$2
  shift 2
  local deb=$out/${package}_${version}_amd64.deb
  [ -f "$deb" ] || { fail "$deb was not built"; return; }
  local listing
  listing=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
  for file in "$@"; do
    grep -qx "./$file" <<<"$listing" || fail "$package lacks /$file"
  done
  if [ -n "$depends" ] && ! dpkg-deb -f "$deb" Depends | grep -q "$depends"; then
    fail "$package does not depend on $depends"
  fi
  echo "$package: $(grep -c . <<<"$listing") entries, Depends: $(dpkg-deb -f "$deb" Depends)"
}

check libkestrel1 "libc6" usr/lib/libkestrel.so.1 "usr/lib/libkestrel.so.$version"
check libkestrel-dev "libkestrel1 (= $version)" usr/include/kestrel/kestrel.h usr/lib/libkestrel.so \
  usr/lib/pkgconfig/kestrel.pc usr/lib/cmake/kestrel/kestrelConfig.cmake
check kestrel-tools "libkestrel1 (= $version)" usr/bin/kestrelctl usr/share/bash-completion/completions/kestrelctl
check kestrel-sim "libc6" usr/bin/kestrel-sim usr/lib/kestrel/libkestrel_sim.so \
  usr/share/kestrel/boards/default.json usr/share/bash-completion/completions/kestrel-sim
# --- python3-kestrel ---
pythonDir=usr/lib/python3/dist-packages/kestrel
check python3-kestrel "libkestrel1 (= $version)" $pythonDir/__init__.py $pythonDir/_header.py $pythonDir/py.typed \
  $pythonDir/routing/__init__.py
if dpkg-deb -c "$out/python3-kestrel_${version}_amd64.deb" | grep -q '__pycache__\|\.so'; then
  fail "python3-kestrel holds more than the Python sources"
fi
# --- end python3-kestrel ---

# The runtime package holds the library alone.
if dpkg-deb -c "$out/libkestrel1_${version}_amd64.deb" | grep -q 'usr/include\|usr/bin'; then
  fail "libkestrel1 holds more than the library"
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for deb in "$out"/*.deb; do dpkg -x "$deb" "$root"; done
if output=$(env -u KESTREL_SIM_LIBRARY -u LD_PRELOAD "$root/usr/bin/kestrel-sim" -- "$root/usr/bin/kestrelctl" info 2>&1); then
  echo "unpacked: kestrel-sim -- kestrelctl info works"
else
  echo "$output"
  fail "the unpacked kestrel-sim -- kestrelctl info failed"
fi
# --- python3-kestrel: the packaged package against the packaged library, by its SONAME ---
if [ -x /usr/bin/python3 ]; then
  if pyOutput=$(env -u KESTREL_SIM_LIBRARY -u LD_PRELOAD -u KESTREL_LIBRARY PYTHONPATH="$root/$pythonDir/.." \
      LD_LIBRARY_PATH="$root/usr/lib" PYTHONDONTWRITEBYTECODE=1 \
      "$root/usr/bin/kestrel-sim" -- /usr/bin/python3 -m kestrel info 2>&1) &&
      [ "$pyOutput" = "$(env -u KESTREL_SIM_LIBRARY -u LD_PRELOAD "$root/usr/bin/kestrel-sim" -- "$root/usr/bin/kestrelctl" info 2>&1)" ]; then
    echo "unpacked: kestrel-sim -- python3 -m kestrel info works and prints what kestrelctl info prints"
  else
    echo "$pyOutput"
    fail "the unpacked kestrel-sim -- python3 -m kestrel info failed or differs from kestrelctl info"
  fi
fi
exit $status
