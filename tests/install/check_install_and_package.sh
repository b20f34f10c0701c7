#!/usr/bin/env bash
# Installs the build into a scratch folder and checks the tree (files, menu
# entry, metainfo, icons, man page, library lookup) and rips a generated disc
# image from it in every format, reading the tags back with tools of their
# own; then builds the Debian package, unpacks it into a scratch root and does
# the same from there. Nothing reaches the network: every server the settings
# name is a closed local port, and the rips do not look the disc up.
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
mkdir -p "$XDG_CONFIG_HOME/Tessaly"
closed=http://127.0.0.1:1
printf '[General]\nAccurateRipServer=%s/accuraterip\nMusicBrainzServer=%s\nGnudbServer=%s\nCoverArtServer=%s\nCTDBServer=%s\n' \
  "$closed" "$closed" "$closed" "$closed" "$closed" >"$XDG_CONFIG_HOME/Tessaly/CDRip.conf"

# A short disc: its second track is ripped in every format.
disc="$work/disc/disc.cue"
mkdir -p "$work/disc"
"$build/bin/sonfeld-disc-image" "$disc" --audio tone:440 4 --title "One" \
  --audio music:3 4 --title "Two" >/dev/null || { fail "cannot make a disc image"; exit 1; }
artist="Ada Lovelace"
album="短曲集 Short Songs"

# Every tag of the file as NAME=value lines, names upper-cased: FLAC through
# metaflac, the others through ffprobe (format and stream tags).
tags_of() {
  case "$1" in
    *.flac) metaflac --export-tags-to=- "$1" ;;
    *) ffprobe -v error -show_entries format_tags:stream_tags -of default=noprint_wrappers=1 "$1" |
      sed -n 's/^TAG://p' ;;
  esac | awk -F= '{ name = toupper($1); sub(/^[^=]*=/, ""); print name "=" $0 }'
}

# Rips track 2 with the given program in every format and checks each file's
# title, artist, album and track number.
rip_every_format() {
  local program=$1 where=$2 format file tags
  for format in Ape Wav Ogg FLAC MP3 Opus; do
    local out="$work/rips/$where/$format"
    mkdir -p "$out"
    if ! "$program" --rip --image "$disc" --format "$format" --tracks 2 --out "$out" --no-lookup \
        --artist "$artist" --album "$album" >"$out.log" 2>&1; then
      fail "$where: sonfeld --rip --format $format fails: $(cat "$out.log")"
      continue
    fi
    file=$(find "$out" -type f -name "02 Two.*" | head -n 1)
    if [ -z "$file" ]; then
      fail "$where: the $format rip wrote no "02 Two.*" (the CD-TEXT title of track 2): $(ls -R "$out")"
      continue
    fi
    tags=$(tags_of "$file")
    for expected in "TITLE=Two" "ARTIST=$artist" "ALBUM=$album"; do
      grep -qxF "$expected" <<<"$tags" || fail "$where: $format file lacks $expected; its tags: $tags"
    done
    grep -qE '^(TRACK|TRACKNUMBER)=2(/2)?$' <<<"$tags" ||
      fail "$where: $format file lacks track number 2; its tags: $tags"
  done
}

step "cmake --install into a scratch DESTDIR"
dest="$work/dest"
DESTDIR="$dest" cmake --install "$build" --prefix /usr >"$work/install.log"
usr="$dest/usr"

metainfo=share/metainfo/local.sonfeld.sonfeld.metainfo.xml
for file in bin/sonfeld share/sonfeld/help/index.html share/applications/sonfeld.desktop \
    "$metainfo" share/man/man1/sonfeld.1.gz share/doc/sonfeld/copyright \
    share/doc/sonfeld/json-output.md \
    share/icons/hicolor/scalable/apps/sonfeld.svg; do
  [ -s "$usr/$file" ] || fail "$file is not installed"
done
# Every library of ours that the sources load by file name (the unversioned
# ones; the versioned are the system's) is installed where the program looks.
own_libraries=$(grep -rhoE '"lib[a-z_]+\.so"' "$source/src" | tr -d '"' | sort -u)
[ -n "$own_libraries" ] || fail "found no library that the sources load by file name"
for library in $own_libraries; do
  [ -s "$usr/lib/sonfeld/$library" ] || fail "lib/sonfeld/$library is not installed"
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
for line in 'Type=Application' 'Name=Sonfeld' 'Exec=sonfeld %f' 'Icon=sonfeld' 'Terminal=false' \
    'Categories=AudioVideo;Audio;' 'MimeType=application/x-cue;x-content/audio-cdda;'; do
  grep -qxF "$line" "$desktop" || fail "the menu entry lacks $line"
done
for key in 'Name\[zh_CN\]' 'GenericName' 'GenericName\[zh_CN\]' 'Comment'; do
  grep -qE "^$key=.+" "$desktop" || fail "the menu entry has no ${key//\\/}"
done
appstreamcli validate --no-net "$usr/$metainfo" || fail "appstreamcli refuses the metainfo"
grep -qE '<project_license>[^<]+</project_license>' "$usr/$metainfo" ||
  fail "the metainfo names no project licence"
grep -rlE 'example\.(org|com)' "$usr/share" && fail "the installed data names example.org addresses"
# Given the project's web address, the home page and the screenshots go in,
# and still validate; every screenshot is one of docs/screenshots.
with_address="$work/with-address.metainfo.xml"
cmake -DTEMPLATE="$source/data/local.sonfeld.sonfeld.metainfo.xml.in" -DOUTPUT="$with_address" \
  -DVERSION=1.2.3 -DDATE=2026-12-09 -DHOMEPAGE=https://sonfeld.test \
  -P "$source/cmake/Metainfo.cmake" || fail "cmake/Metainfo.cmake fails"
appstreamcli validate --no-net "$with_address" ||
  fail "appstreamcli refuses the metainfo with a web address"
grep -qF '<url type="homepage">https://sonfeld.test</url>' "$with_address" ||
  fail "the metainfo with a web address has no home page"
shots=$(sed -nE 's|.*<image>https://sonfeld.test/screenshots/(.*)</image>.*|\1|p' "$with_address")
[ "$(wc -w <<<"$shots")" -ge 3 ] || fail "the metainfo with a web address has too few screenshots"
for shot in $shots; do
  [ -s "$source/docs/screenshots/$shot" ] || fail "the screenshot $shot is not in docs/screenshots"
done
# The tree as a whole: the metainfo's launchable, the menu entry and its icon.
appstreamcli validate-tree --no-net "$usr" || fail "appstreamcli refuses the installed tree"

step "the man page covers every option of --help"
help=$("$usr/bin/sonfeld" --help) || fail "sonfeld --help fails"
options=$(grep -oE -- '--[a-z]+' <<<"$help" | sort -u)
[ -n "$options" ] || fail "--help lists no options"
man=$(gzip -dc "$usr/share/man/man1/sonfeld.1.gz") || fail "the man page is not gzipped"
for option in $options; do
  grep -qF -- "\\-\\-${option#--}" <<<"$man" || fail "the man page lacks $option"
done

step "the man page lists every exit status of the command line"
for status in 0 1 2 $(sed -nE 's/.*constexpr int k[A-Za-z]+Exit = ([0-9]+);.*/\1/p' \
    "$source/src/app/cli/command_line.h"); do
  grep -qx "\.B $status" <<<"$man" || fail "the man page lacks the exit status $status"
done

step "libraries found from the installed path"
readelf -d "$usr/bin/sonfeld" | grep -E 'R(UN)?PATH' | grep -qF '[$ORIGIN/../lib/sonfeld]' ||
  fail "bin/sonfeld has no RUNPATH to \$ORIGIN/../lib/sonfeld"
for binary in "$usr/bin/sonfeld" "$usr"/lib/sonfeld/*.so; do
  if ldd "$binary" | grep -q 'not found'; then
    fail "$binary links a library that is not found: $(ldd "$binary" | grep 'not found')"
  fi
done

step "the installed program rips and tags every format"
rip_every_format "$usr/bin/sonfeld" installed

step "cpack -G DEB"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack fails"; exit 1; }
deb=$(echo "$work"/package/sonfeld_*.deb)
[ -f "$deb" ] || { fail "cpack made no sonfeld_*.deb"; exit 1; }
[ "$(dpkg-deb -f "$deb" Package)" = sonfeld ] || fail "the package is not named sonfeld"
version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
echo "Depends: $depends"
echo "Recommends: $recommends"
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
recommends() { tr ',' '\n' <<<"$recommends" | sed -E 's/^ *//; s/ .*//' | grep -xF "$1" >/dev/null; }
# Loaded at run time for one feature each (album images, ReplayGain): recommended,
# since without them only that feature is refused.
optional_sonames=" libavformat.so.59 libavcodec.so.59 libavutil.so.57 libebur128.so.1 "
for package in libmp3lame0 libflac12 libvorbis0a libvorbisenc2 libvorbisfile3 libogg0 libopusenc0 \
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
    *)
      if [[ "$optional_sonames" == *" $soname "* ]]; then
        recommends "$owner" || fail "$soname comes from $owner, which the package does not recommend"
      else
        depends_on "$owner" || fail "$soname comes from $owner, which the package does not depend on"
      fi
      ;;
  esac
done

step "the package unpacked into a scratch root, run from there"
root="$work/root"
dpkg-deb -x "$deb" "$root"
sonfeld="$root/usr/bin/sonfeld"
[ -x "$sonfeld" ] || { fail "the package has no usr/bin/sonfeld"; exit 1; }
out=$("$sonfeld" --version) || fail "sonfeld --version fails"
[ "$out" = "Sonfeld $version" ] || fail "sonfeld --version says \"$out\", the package is $version"
grep -qF "<release version=\"$version\"" "$root/usr/$metainfo" ||
  fail "the metainfo has no release $version"
gzip -dc "$root/usr/share/man/man1/sonfeld.1.gz" | grep -q "^\.TH SONFELD 1 .*\"Sonfeld $version\"" ||
  fail "the man page is not of Sonfeld $version"
[ -s "$root/usr/share/doc/sonfeld/copyright" ] || fail "the package has no usr/share/doc/sonfeld/copyright"
dpkg-deb -f "$deb" | grep -E 'example\.(org|com)' && fail "the package's control names example.org addresses"

# A disc image named alone is offered as a drive, as the menu entry passes it.
out=$("$sonfeld" --list "$disc" 2>"$work/list.err") ||
  fail "sonfeld --list IMAGE fails: $(cat "$work/list.err")"
grep -qF "0: $disc" <<<"$out" || fail "--list does not show the image as a drive: $out"
grep -qE '^ *Track 2 +Two ' <<<"$out" || fail "--list does not show the second track: $out"

rip_every_format "$sonfeld" package

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "install tree and package: all checks passed"
