#!/usr/bin/env bash
# Brings translations/sonfeld_en.ts up to date with the window's texts in the
# sources: new texts come in unfinished (to be translated by hand), texts no
# longer used go. Run from anywhere; needs lupdate (qt6-l10n-tools).
#   scripts/update-translations.sh [TS_FILE]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ts="${1:-$root/translations/sonfeld_en.ts}"
lupdate="${LUPDATE:-}"
if [ -z "$lupdate" ]; then
  for candidate in /usr/lib/qt6/bin/lupdate "$(command -v lupdate-qt6 || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
      lupdate="$candidate"
      break
    fi
  done
fi
if [ -z "$lupdate" ]; then
  echo "lupdate not found: install qt6-l10n-tools." >&2
  exit 1
fi

# No source locations: line numbers would change with every edit of the code.
"$lupdate" -silent -locations none -no-obsolete -source-language zh_CN -target-language en \
  -I "$root/src" "$root/src/app" -ts "$ts"
