#!/usr/bin/env bash
# Fails when the library exports a name outside its version script, misses a
# controller export, has the wrong SONAME or depends on more than libc,
# libstdc++ and pthread.
set -euo pipefail
lib=$1 map=$2
allowed=$(grep -oE '^[[:space:]]+(KESTREL|quill_ra_kestrel)_[A-Za-z0-9_]+;' "$map" | tr -d ' ;' | sort -u)
exported=$(nm -D --defined-only "$lib" | awk '$2 ~ /[TWDBRVi]/ {print $3}' | sed 's/@.*//' | sort -u)
extra=$(comm -23 <(echo "$exported") <(echo "$allowed"))
if [ -n "$extra" ]; then
  echo "exported beyond the version script:"; echo "$extra"; exit 1
fi
missing=$(comm -13 <(echo "$exported") <(echo "$allowed") || true)
if [ -n "$missing" ]; then
  echo "exports missing:"; echo "$missing"; exit 1
fi
soname=$(readelf -d "$lib" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = "libkestrel.so.1" ] || { echo "SONAME is '$soname'"; exit 1; }
needed=$(readelf -d "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | grep -vE '^(libc\.so\.6|libstdc\+\+\.so\.6|libpthread\.so\.0|ld-linux-x86-64\.so\.2|libasan\.so.*|libubsan\.so.*|libtsan\.so.*)$' || true)
[ -z "$needed" ] || { echo "unexpected dependencies:"; echo "$needed"; exit 1; }
echo "exports: $(echo "$exported" | wc -l) names, all in the version script; SONAME $soname"
