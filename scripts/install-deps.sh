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
  gupnp-tools python3
  # the libraries of the unpacked minidlnad (below), which is never installed
  libexif12 libid3tag0 libflac12 libjpeg62-turbo libogg0 libsqlite3-0 libvorbis0a
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# minidlna is the peer of the media-server benchmark. Installing it would
# start a service that announces itself on the real network, so it is only
# unpacked; its minidlnad runs inside a test namespace.
MINIDLNA_DIR="${QUORVINA_MINIDLNA_DIR:-/opt/quorvina-peers/minidlna}"
unpack_minidlna() {
  [ -x "$MINIDLNA_DIR/usr/sbin/minidlnad" ] && return 0
  local scratch
  scratch="$(mktemp -d)"
  (cd "$scratch" && apt-get download minidlna)
  $SUDO mkdir -p "$MINIDLNA_DIR"
  $SUDO dpkg -x "$scratch"/minidlna_*.deb "$MINIDLNA_DIR"
  rm -rf "$scratch"
  echo "install-deps: minidlnad unpacked in $MINIDLNA_DIR"
}

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  unpack_minidlna
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
unpack_minidlna
