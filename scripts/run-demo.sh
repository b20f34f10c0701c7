#!/usr/bin/env bash
# Installs what is missing, builds Sonfeld, and starts it with the bundled demo
# disc offered as a drive. Without a display it rips the demo disc from the
# command line instead and says where the files are.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake --preset plain
cmake --build --preset plain

demo=build/demo/demo.cue
if [ ! -x build/bin/sonfeld ]; then
  # The window is not part of this build yet: show what the pipeline does.
  exec ./build/bin/sonfeld-wave-demo wave-demo
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec ./build/bin/sonfeld --image "$demo"
fi
out="$PWD/demo-rip"
echo "No display found: ripping the demo disc to FLAC from the command line."
./build/bin/sonfeld --list --image "$demo"
./build/bin/sonfeld --rip --image "$demo" --format FLAC --out "$out"
echo "The ripped files are in $out"
