#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds a C consumer against
# it twice: through find_package(kestrel) and through pkg-config.
set -euo pipefail
build=$1 consumer=$2 work=$3
rm -rf "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

cmake -S "$consumer" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
LD_LIBRARY_PATH=$prefix/lib "$work/cmake/consumer"

pc_dir=$(dirname "$(find "$prefix" -name kestrel.pc | head -n 1)")
flags=$(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs kestrel)
cc -std=c99 -Wall -Werror "$consumer/consumer.c" $flags -o "$work/consumer-pc"
LD_LIBRARY_PATH=$prefix/lib "$work/consumer-pc"

for link in libkestrel.so libkestrel.so.1; do
  [ -L "$prefix/lib/$link" ] || { echo "missing link $link"; exit 1; }
done
echo "installed library consumed through CMake and pkg-config"
