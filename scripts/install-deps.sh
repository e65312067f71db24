#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the fuzz targets need
# (python3: the storage tests build their golden packs with an independent
# writer in tests/storage/fixtures; fonts-dejavu-core: the font tests draw
# characters the IPA fonts lack, such as the CP932 sum sign, from it).
# Idempotent: does nothing when every package is already present.
set -euo pipefail

PKGS=(
  build-essential cmake ninja-build pkg-config ccache
  libsdl2-dev libfreetype-dev libfontconfig-dev
  libjpeg62-turbo-dev libpng-dev zlib1g-dev
  libvorbis-dev libogg-dev libpcre2-dev
  libgtest-dev libgmock-dev libbenchmark-dev libpixman-1-dev
  libcli11-dev
  fonts-ipafont-gothic fonts-ipafont-mincho fonts-dejavu-core
  clang
  python3
)

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1
  fi
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
