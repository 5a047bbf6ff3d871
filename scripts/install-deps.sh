#!/usr/bin/env bash
# Installs the Debian packages that building, testing, benchmarking and
# fuzzing need, when they are missing. Needs root (or sudo) for apt-get.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev pkg-config binutils
          libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev rapidjson-dev dmidecode)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing missing packages: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
