#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, when
# any is missing. Safe to run again: it does nothing when all are present.
set -euo pipefail
# libclang-rt-14-dev holds the runtimes clang links for libFuzzer and the
# sanitizers (scripts/fuzz.sh).
packages=(cmake g++ make clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev bison
          qt6-base-dev fonts-dejavu-core xvfb xauth xdotool x11-apps python3 python3-dbfread python3-dbf
          libdbd-xbase-perl libsqlite3-dev sqlite3 libshp-dev gdal-bin)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
