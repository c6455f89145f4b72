#!/usr/bin/env bash
# The catalogue test: every source file with texts is in po/POTFILES, po/presswick.pot holds exactly the
# texts of the sources, and every catalogue of po/LINGUAS is written, passes msgfmt --check and translates
# every text (nothing missing, untranslated or fuzzy).
set -uo pipefail
cd "$(dirname "$0")/.."
failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Sources that call the translation helpers but are missing from the list xgettext reads.
grep -rlE '\b(tr|trn|tq|counted|N_)\(' apps/presswick/src platform/kora_ui/src platform/kora_ui/qt \
  platform/kora_ui/include --include='*.cpp' --include='*.h' |
  grep -vE 'kora_ui/(src|include/kora_ui)/translate\.(h|cpp)$' | sort >"$tmp/marked"
grep -vE '^(#|$)' po/POTFILES | sort >"$tmp/listed"
for file in $(comm -23 "$tmp/marked" "$tmp/listed"); do
  fail "$file has texts for the catalogue but is not in po/POTFILES"
done
for file in $(cat "$tmp/listed"); do
  [ -f "$file" ] || fail "po/POTFILES lists $file, which does not exist"
done

# The template against one made from the sources now.
msgids() { msgcat --no-location --no-wrap --sort-output "$1" | grep -E '^msg(id|id_plural|ctxt) ' | sort; }
scripts/update-po.sh --pot "$tmp/fresh.pot" || fail "xgettext could not read the sources"
msgids "$tmp/fresh.pot" >"$tmp/fresh.ids"
msgids po/presswick.pot >"$tmp/template.ids"
missing=$(comm -23 "$tmp/fresh.ids" "$tmp/template.ids")
stale=$(comm -13 "$tmp/fresh.ids" "$tmp/template.ids")
[ -z "$missing" ] || fail "po/presswick.pot lacks texts of the sources (run scripts/update-po.sh):
$missing"
[ -z "$stale" ] || fail "po/presswick.pot holds texts the sources no longer have (run scripts/update-po.sh):
$stale"

# Every catalogue complete.
for lang in $(grep -vE '^(#|$)' po/LINGUAS); do
  po=po/$lang.po
  if [ ! -f "$po" ]; then
    fail "po/LINGUAS lists $lang but $po does not exist"
    continue
  fi
  msgfmt --check --check-accelerators=_ -o /dev/null "$po" 2>"$tmp/msgfmt" || fail "msgfmt --check $po: $(cat "$tmp/msgfmt")"
  grep -q '^"Plural-Forms: nplurals=[0-9]*; plural=' "$po" || fail "$po has no Plural-Forms"
  grep -q "^\"Language: $lang\\\\n\"" "$po" || fail "$po does not name its language $lang"
  # msgcmp counts untranslated and fuzzy messages as missing.
  msgcmp "$po" po/presswick.pot 2>"$tmp/msgcmp" || fail "$po does not translate every text of the template:
$(grep -c 'this message' "$tmp/msgcmp") messages, first: $(head -3 "$tmp/msgcmp")"
  untranslated=$(msgattrib --untranslated --no-obsolete "$po" | grep -c '^msgid ' || true)
  fuzzy=$(msgattrib --only-fuzzy --no-obsolete "$po" | grep -c '^msgid ' || true)
  # The header is one untranslated-looking entry only when the whole file is empty.
  [ "$untranslated" -le 0 ] || fail "$po has $untranslated untranslated messages"
  [ "$fuzzy" -le 0 ] || fail "$po has $fuzzy fuzzy messages"
  # A placeholder lost or added moves a value into the wrong place.
  python3 - "$po" <<'PY' || failed=1
import sys, re
path = sys.argv[1]
entries, cur, key = [], {}, None
def flush():
    if cur.get("msgid"):
        entries.append(dict(cur))
for raw in open(path, encoding="utf-8"):
    line = raw.rstrip("\n")
    if line.startswith("#~"):
        continue
    m = re.match(r'^(msgid|msgid_plural|msgstr(?:\[\d+\])?|msgctxt) "(.*)"$', line)
    if m:
        if m.group(1) in ("msgid", "msgctxt") and "msgstr" in "".join(cur.keys()):
            flush(); cur.clear()
        key = m.group(1); cur[key] = m.group(2); continue
    m = re.match(r'^"(.*)"$', line)
    if m and key:
        cur[key] += m.group(1)
flush()
bad = 0
for e in entries:
    want = e["msgid"].count("{}")
    for k, v in e.items():
        if k.startswith("msgstr") and v and v.count("{}") != want:
            print(f"FAIL: {path}: {e['msgid']!r} has {want} placeholders, {k} has {v.count('{}')}", file=sys.stderr)
            bad = 1
sys.exit(bad)
PY
done

[ $failed = 0 ] && echo "catalogues: template current, $(grep -c '^msgid ' po/presswick.pot) entries; $(grep -vE '^(#|$)' po/LINGUAS | tr '\n' ' ')complete"
exit $failed
