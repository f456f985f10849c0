#!/usr/bin/env bash
# Installs the Debian packages the add-on, its tools, tests and benchmarks need.
# Idempotent: packages already present are left alone.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git
  clang libclang-rt-dev clang-format clang-tidy
  rapidjson-dev
  libavformat-dev libavcodec-dev libavutil-dev
  libgtest-dev libgmock-dev googletest
  libbenchmark-dev libpugixml-dev libssl-dev
  iproute2 util-linux curl jq libxml2-utils
  ffmpeg vlc-bin vlc-plugin-base
  bind9-dnsutils dnsmasq-base
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
