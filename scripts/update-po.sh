#!/usr/bin/env bash
# Makes po/presswick.pot again from the sources listed in po/POTFILES and merges it into every catalogue
# of po/LINGUAS. With --pot FILE it only writes the template to FILE (the catalogue test compares it).
set -euo pipefail
cd "$(dirname "$0")/.."

pot=po/presswick.pot
merge=1
if [ "${1:-}" = "--pot" ]; then
  pot=$2
  merge=0
fi

version=$(sed -n 's/^project(presswick VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
cxx=()
desktop=()
metainfo=()
while read -r file; do
  case "$file" in
    "" | "#"*) ;;
    *.desktop.in) desktop+=("$file") ;;
    *.metainfo.xml.in) metainfo+=("$file") ;;
    *) cxx+=("$file") ;;
  esac
done <po/POTFILES

common=(--package-name=presswick --package-version="$version" --msgid-bugs-address=presswick@kora.invalid
  --copyright-holder="Kora platform developers" --from-code=UTF-8 --add-comments=TRANSLATORS: --add-location=file)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# The helpers' names only (-k alone drops xgettext's defaults such as _ and gettext).
xgettext "${common[@]}" --language=C++ -k --keyword=tr --keyword=trn:1,2 --keyword=counted:2,3 \
  --keyword=tq --keyword=N_ -o "$tmp/code.pot" "${cxx[@]}"
parts=("$tmp/code.pot")
if [ ${#desktop[@]} -gt 0 ]; then
  xgettext "${common[@]}" --language=Desktop -o "$tmp/desktop.pot" "${desktop[@]}"
  parts+=("$tmp/desktop.pot")
fi
if [ ${#metainfo[@]} -gt 0 ]; then
  xgettext "${common[@]}" --its=/usr/share/gettext/its/metainfo.its -o "$tmp/metainfo.pot" "${metainfo[@]}"
  parts+=("$tmp/metainfo.pot")
fi
# One template; the creation date is left out so that a template made again from the same sources is the same.
msgcat --use-first "${parts[@]}" | sed '/^"POT-Creation-Date:/d' >"$pot"

[ $merge = 1 ] || exit 0
for lang in $(grep -v '^#' po/LINGUAS); do
  if [ -f "po/$lang.po" ]; then
    msgmerge --quiet --update --backup=none --previous "po/$lang.po" "$pot"
  fi
done
