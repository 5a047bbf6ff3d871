#!/usr/bin/env bash
# Installs the Debian packages that building, testing, benchmarking and
# fuzzing need, when they are missing. Needs root (or sudo) for apt-get.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev pkg-config binutils
          libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev rapidjson-dev dmidecode
          locales unicode-data scdoc)
# The Python package and its tests: Debian's Python and pytest.
packages+=(python3 python3-pytest)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing missing packages: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# A locale with a decimal comma, for the number conversion tests.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "note: could not generate de_DE.UTF-8; locale tests will skip"
fi
