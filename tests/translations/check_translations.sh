#!/usr/bin/env bash
# Fails when a window text has no finished English translation: runs lupdate
# over the sources into a scratch copy of translations/sonfeld_en.ts and looks
# for texts that came in unfinished or went away, and for Chinese texts in the
# window's code that are not marked for translation at all.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cp "$root/translations/sonfeld_en.ts" "$scratch/sonfeld_en.ts"
"$root/scripts/update-translations.sh" "$scratch/sonfeld_en.ts"

failed=0
if ! cmp -s "$root/translations/sonfeld_en.ts" "$scratch/sonfeld_en.ts"; then
  echo "translations/sonfeld_en.ts is not up to date with the sources" \
       "(run scripts/update-translations.sh and translate what is new):"
  diff -u "$root/translations/sonfeld_en.ts" "$scratch/sonfeld_en.ts" || true
  failed=1
fi
if grep -n -E 'type="(unfinished|vanished|obsolete)"|<translation></translation>' \
     "$scratch/sonfeld_en.ts"; then
  echo "Texts above have no finished English translation."
  failed=1
fi
# A Chinese literal in the window's code that no tr() or QT_TRANSLATE_NOOP holds
# would never be translated. A text that stays Chinese on purpose says
# "untranslated" on its line.
if grep -n -P 'QStringLiteral\("[^"]*\p{Han}' "$root"/src/app/ui/*.cpp "$root"/src/app/ui/*.h |
     grep -v 'untranslated'; then
  echo "Chinese texts above are shown unmarked: use TShownText::tr()."
  failed=1
fi
messages=$(grep -c '<message>' "$scratch/sonfeld_en.ts")
if [ "$messages" -lt 100 ]; then
  echo "Only $messages texts found: lupdate did not read the sources."
  failed=1
fi
if [ "$failed" -eq 0 ]; then
  echo "All $messages window texts have a finished English translation."
fi
exit "$failed"
