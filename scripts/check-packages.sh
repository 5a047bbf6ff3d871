#!/usr/bin/env bash
# Builds the Debian packages, checks what each one holds and declares,
# unpacks them into a scratch root and runs the packaged kestrelctl and
# quillhost under the packaged kestrel-sim there. Skips when dpkg-deb is not
# available.
#
# The packages install into /usr, so they are made from a tree configured
# with -DCMAKE_INSTALL_PREFIX=/usr: BUILD_DIR (default build) when it is
# one, else a tree of its own in BUILD_DIR/packaging, configured and built
# here with the same build type (tests left out).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${BUILD_DIR:-build}")
if ! command -v dpkg-deb >/dev/null || ! command -v cpack >/dev/null; then
  echo "dpkg-deb or cpack not found: package check skipped"
  exit 0
fi
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
if [ "$(cached CMAKE_INSTALL_PREFIX)" != /usr ]; then
  tree=$build/packaging
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$tree" -G Ninja -DCMAKE_INSTALL_PREFIX=/usr -DKESTREL_BUILD_TESTS=OFF \
    -DCMAKE_BUILD_TYPE="$(cached CMAKE_BUILD_TYPE)" "${launcher[@]}" >"$build/packaging.log" ||
    { tail -n 30 "$build/packaging.log"; exit 1; }
  cmake --build "$tree" >>"$build/packaging.log" || { tail -n 30 "$build/packaging.log"; exit 1; }
  build=$tree
fi
out=$build/packages
rm -rf "$out"
(cd "$build" && cpack -G DEB -B "$out" >"$build/cpack.log") || { tail -n 30 "$build/cpack.log"; exit 1; }

version=$(cached CMAKE_PROJECT_VERSION)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
lib=usr/lib/$multiarch
status=0
fail() { echo "package check: $*"; status=1; }

# check PACKAGE "depends pattern" FILE... : the package exists, declares the
# dependency, has its copyright file and holds every file named.
check() {
  local package=$1 depends=$2
  shift 2
  local deb=$out/${package}_${version}_amd64.deb
  [ -f "$deb" ] || { fail "$deb was not built"; return; }
  local listing
  listing=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
  for file in "usr/share/doc/$package/copyright" "$@"; do
    grep -qx "./$file" <<<"$listing" || fail "$package lacks /$file"
  done
  if [ -n "$depends" ] && ! dpkg-deb -f "$deb" Depends | grep -q "$depends"; then
    fail "$package does not depend on $depends"
  fi
  echo "$package: $(grep -c . <<<"$listing") entries, Depends: $(dpkg-deb -f "$deb" Depends)"
}

# The man pages, when scdoc was there to build them.
toolPages=() simPages=() devPages=()
if grep -q '^KESTREL_SCDOC:FILEPATH=/' "$build/CMakeCache.txt"; then
  toolPages=(usr/share/man/man1/kestrelctl.1 usr/share/man/man1/quillhost.1)
  simPages=(usr/share/man/man1/kestrel-sim.1 usr/share/man/man1/kestrel-record.1)
  devPages=(usr/share/man/man3/libkestrel.3)
fi
check libkestrel1 "libc6" "$lib/libkestrel.so.1" "$lib/libkestrel.so.$version" usr/share/doc/libkestrel1/README.md
check libkestrel-dev "libkestrel1 (= $version)" usr/include/kestrel/kestrel.h "$lib/libkestrel.so" \
  "$lib/pkgconfig/kestrel.pc" "$lib/cmake/kestrel/kestrelConfig.cmake" usr/share/doc/kestrel/README.md "${devPages[@]}"
check kestrel-tools "libkestrel1 (= $version)" usr/bin/kestrelctl usr/bin/quillhost \
  usr/share/bash-completion/completions/kestrelctl usr/share/doc/kestrel/kestrelctl.md "${toolPages[@]}"
check kestrel-sim "libc6" usr/bin/kestrel-sim "$lib/kestrel/libkestrel_sim.so" \
  usr/bin/kestrel-record "$lib/kestrel/libkestrel_record.so" usr/share/doc/kestrel/recording.md \
  usr/share/kestrel/boards/default.json usr/share/bash-completion/completions/kestrel-sim usr/share/doc/kestrel/simulator.md \
  "${simPages[@]}"
pythonDir=usr/lib/python3/dist-packages/kestrel
check python3-kestrel "libkestrel1 (= $version)" $pythonDir/__init__.py $pythonDir/_header.py $pythonDir/py.typed \
  $pythonDir/routing/__init__.py usr/share/doc/python3-kestrel/python.md
if dpkg-deb -c "$out/python3-kestrel_${version}_amd64.deb" | grep -q '__pycache__\|\.so'; then
  fail "python3-kestrel holds more than the Python sources"
fi
# The runtime package holds the library alone (and its copyright).
if dpkg-deb -c "$out/libkestrel1_${version}_amd64.deb" | grep -q 'usr/include\|usr/bin'; then
  fail "libkestrel1 holds more than the library"
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for deb in "$out"/*.deb; do dpkg -x "$deb" "$root"; done
sim=(env -u KESTREL_SIM_LIBRARY -u LD_PRELOAD "$root/usr/bin/kestrel-sim" --)
if output=$("${sim[@]}" "$root/usr/bin/kestrelctl" info 2>&1); then
  echo "unpacked: kestrel-sim -- kestrelctl info works"
else
  echo "$output"
  fail "the unpacked kestrel-sim -- kestrelctl info failed"
fi
# Recorded above the packaged simulator, replayed by it to the same output.
recording=$(mktemp)
if first=$("${sim[@]}" "$root/usr/bin/kestrel-record" -o "$recording" -- "$root/usr/bin/kestrelctl" info 2>&1) &&
   second=$(env -u KESTREL_SIM_LIBRARY -u LD_PRELOAD "$root/usr/bin/kestrel-sim" --replay "$recording" -- \
     "$root/usr/bin/kestrelctl" info 2>&1) && [ "$first" = "$second" ]; then
  echo "unpacked: kestrel-record above kestrel-sim, then kestrel-sim --replay, give the same output"
else
  echo "$first"
  echo "$second"
  fail "the unpacked kestrel-record or kestrel-sim --replay failed"
fi
rm -f "$recording"
if output=$("${sim[@]}" "$root/usr/bin/quillhost" --cycles 2 2>&1); then
  echo "unpacked: kestrel-sim -- quillhost loads the packaged library"
else
  echo "$output"
  fail "the unpacked kestrel-sim -- quillhost failed"
fi
# The packaged Python package against the packaged library, found by its SONAME.
if [ -x /usr/bin/python3 ]; then
  if pyOutput=$(env -u KESTREL_LIBRARY PYTHONPATH="$root/$pythonDir/.." LD_LIBRARY_PATH="$root/$lib" \
      PYTHONDONTWRITEBYTECODE=1 "${sim[@]}" /usr/bin/python3 -m kestrel info 2>&1) &&
      [ "$pyOutput" = "$("${sim[@]}" "$root/usr/bin/kestrelctl" info 2>&1)" ]; then
    echo "unpacked: kestrel-sim -- python3 -m kestrel info prints what kestrelctl info prints"
  else
    echo "$pyOutput"
    fail "the unpacked kestrel-sim -- python3 -m kestrel info failed or differs from kestrelctl info"
  fi
fi
exit $status
