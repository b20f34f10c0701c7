#!/usr/bin/env bash
# Installs the build into a scratch folder and checks the tree (files, menu
# entry, metainfo, icons, man page, library lookup); then builds the Debian
# package, unpacks it into a scratch root and runs the program from there.
# Usage: check_install_and_package.sh BUILD_DIR SOURCE_DIR
set -euo pipefail

build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
step() { printf -- '-- %s\n' "$*"; }

# Width and height of a PNG, from its IHDR chunk.
png_size() {
  local -a b
  read -r -a b < <(od -An -tu1 -j16 -N8 "$1")
  echo "$(((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3]))x$(((b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7]))"
}

export QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"

step "cmake --install into a scratch DESTDIR"
dest="$work/dest"
DESTDIR="$dest" cmake --install "$build" --prefix /usr >"$work/install.log"
usr="$dest/usr"

for file in bin/sonfeld lib/sonfeld/libcdrip.so lib/sonfeld/libsonfeld_ape.so \
    share/sonfeld/help/index.html share/applications/sonfeld.desktop \
    share/metainfo/org.example.sonfeld.metainfo.xml share/man/man1/sonfeld.1 \
    share/icons/hicolor/scalable/apps/sonfeld.svg; do
  [ -s "$usr/$file" ] || fail "$file is not installed"
done
[ -x "$usr/bin/sonfeld" ] || fail "bin/sonfeld is not executable"
for size in 16 22 24 32 48 64 128 256; do
  png="$usr/share/icons/hicolor/${size}x${size}/apps/sonfeld.png"
  if [ ! -s "$png" ]; then
    fail "no ${size}x${size} icon"
  elif [ "$(png_size "$png")" != "${size}x${size}" ]; then
    fail "the ${size}x${size} icon is $(png_size "$png")"
  fi
done

step "menu entry and metainfo"
desktop="$usr/share/applications/sonfeld.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate refuses the menu entry"
for line in 'Type=Application' 'Name=Sonfeld' 'Exec=sonfeld' 'Icon=sonfeld' 'Terminal=false' \
    'Categories=AudioVideo;Audio;'; do
  grep -qxF "$line" "$desktop" || fail "the menu entry lacks $line"
done
for key in 'Name\[zh_CN\]' 'GenericName' 'GenericName\[zh_CN\]' 'Comment'; do
  grep -qE "^$key=.+" "$desktop" || fail "the menu entry has no ${key//\\/}"
done
appstreamcli validate --no-net "$usr/share/metainfo/org.example.sonfeld.metainfo.xml" ||
  fail "appstreamcli refuses the metainfo"
# The tree as a whole: the metainfo's launchable, the menu entry and its icon.
appstreamcli validate-tree --no-net "$usr" || fail "appstreamcli refuses the installed tree"

step "the man page covers every option of --help"
help=$("$usr/bin/sonfeld" --help) || fail "sonfeld --help fails"
options=$(grep -oE -- '--[a-z]+' <<<"$help" | sort -u)
[ -n "$options" ] || fail "--help lists no options"
for option in $options; do
  grep -qF -- "\\-\\-${option#--}" "$usr/share/man/man1/sonfeld.1" || fail "the man page lacks $option"
done

step "libraries found from the installed path"
readelf -d "$usr/bin/sonfeld" | grep -E 'R(UN)?PATH' | grep -qF '[$ORIGIN/../lib/sonfeld]' ||
  fail "bin/sonfeld has no RUNPATH to \$ORIGIN/../lib/sonfeld"
for binary in "$usr/bin/sonfeld" "$usr"/lib/sonfeld/*.so; do
  if ldd "$binary" | grep -q 'not found'; then
    fail "$binary links a library that is not found: $(ldd "$binary" | grep 'not found')"
  fi
done

step "cpack -G DEB"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack fails"; exit 1; }
deb=$(echo "$work"/package/sonfeld_*.deb)
[ -f "$deb" ] || { fail "cpack made no sonfeld_*.deb"; exit 1; }
[ "$(dpkg-deb -f "$deb" Package)" = sonfeld ] || fail "the package is not named sonfeld"
version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# The package that installed a library file, found under /usr/lib or /lib.
owner_of() {
  local found
  for file in "$1" "$(readlink -f "$1")" "/usr$(readlink -f "$1")"; do
    found=$(dpkg -S "$file" 2>/dev/null || true)
    if [ -n "$found" ]; then
      sed -n '1s/:.*//p' <<<"$found"
      return
    fi
  done
}
depends_on() { tr ',' '\n' <<<"$depends" | sed -E 's/^ *//; s/ .*//' | grep -xF "$1" >/dev/null; }
for package in libmp3lame0 libflac12 libvorbis0a libvorbisenc2 libvorbisfile3 libogg0 \
    libmpg123-0 libcdio19 libcdio-cdda2 libcdio-paranoia2 libqt6core6 libqt6gui6 libqt6widgets6 \
    libqt6network6 libtag1v5 qt6-translations-l10n fonts-noto-cjk; do
  depends_on "$package" || fail "the package does not depend on $package"
done
# What the program and our libraries link, and what the bindings load by file
# name, must each come from a package it depends on.
sonames=$(grep -rhoE '"lib[A-Za-z0-9_]+\.so\.[0-9]+"' "$source/src" | tr -d '"' | sort -u)
for binary in "$usr/bin/sonfeld" "$usr"/lib/sonfeld/*.so; do
  sonames+=" $(readelf -d "$binary" | sed -nE 's/.*\(NEEDED\).*\[(.*)\]/\1/p' | tr '\n' ' ')"
done
for soname in $sonames; do
  path=$(ldconfig -p | awk -v name="$soname" '!found && $1 == name { print $NF; found = 1 }')
  if [ -z "$path" ]; then
    fail "$soname is not on this system"
    continue
  fi
  owner=$(owner_of "$path")
  case "$owner" in
    libc6 | libstdc++6 | libgcc-s1) ;; # always there
    libtag1v5-vanilla) depends_on libtag1v5 || fail "$soname: no dependency on libtag1v5" ;;
    "") fail "no package owns $soname" ;;
    *) depends_on "$owner" || fail "$soname comes from $owner, which the package does not depend on" ;;
  esac
done

step "the package unpacked into a scratch root, run from there"
root="$work/root"
dpkg -x "$deb" "$root"
sonfeld="$root/usr/bin/sonfeld"
[ -x "$sonfeld" ] || { fail "the package has no usr/bin/sonfeld"; exit 1; }
out=$("$sonfeld" --version) || fail "sonfeld --version fails"
[ "$out" = "Sonfeld $version" ] || fail "sonfeld --version says \"$out\", the package is $version"
grep -qF "<release version=\"$version\"" "$root/usr/share/metainfo/org.example.sonfeld.metainfo.xml" ||
  fail "the metainfo has no release $version"
grep -q "^\.TH SONFELD 1 .*\"Sonfeld $version\"" "$root/usr/share/man/man1/sonfeld.1" ||
  fail "the man page is not of Sonfeld $version"

"$build/bin/sonfeld-disc-image" "$work/disc.cue" --audio tone:440 4 --title "One" \
  --audio music:3 4 --title "Two" >/dev/null || { fail "cannot make a disc image"; exit 1; }
out=$("$sonfeld" --list --image "$work/disc.cue" 2>"$work/list.err") ||
  fail "sonfeld --list --image fails: $(cat "$work/list.err")"
grep -qF "0: $work/disc.cue" <<<"$out" || fail "--list does not show the image as a drive: $out"
grep -qE '^ *Track 2 +Two ' <<<"$out" || fail "--list does not show the second track: $out"

# APE goes through libsonfeld_ape.so, which must load from usr/lib/sonfeld.
mkdir -p "$work/out"
"$sonfeld" --rip --image "$work/disc.cue" --format Ape --tracks 1 --out "$work/out" \
  >"$work/rip.log" 2>&1 || fail "sonfeld --rip --format Ape fails: $(cat "$work/rip.log")"
[ -s "$work/out/01 One.ape" ] || fail "the APE rip wrote no \"01 One.ape\" (the CD-TEXT title of track 1)"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "install tree and package: all checks passed"
