#!/usr/bin/env bash
# Installs what Sonfeld needs to build, run and test on Debian 12. Idempotent:
# packages already present are left alone. Needs root (or sudo).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  clang clang-format clang-tidy libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libqt6svg6 qt6-translations-l10n qt6-l10n-tools fonts-noto-cjk xvfb xauth
  libmpg123-dev libmp3lame-dev libflac-dev libogg-dev libvorbis-dev libopusenc-dev
  libcdio-dev libcdio-paranoia-dev libtag1-dev libebur128-dev
  libavformat-dev libavcodec-dev libavutil-dev
  ffmpeg sox flac vorbis-tools opus-tools lame cd-paranoia cuetools cdrdao wavpack python3-mutagen eyed3
  librsvg2-bin desktop-file-utils appstream
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "All build and test dependencies are installed."
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
