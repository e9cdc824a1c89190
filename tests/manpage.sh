#!/bin/sh
# The manual page must be there and render without a single groff warning.
# Usage: manpage.sh PAGE   (name-dialogue.1, or name-dialogue.1.gz as installed)
page=$1
# shellcheck source=tests/lib.sh
. "${0%/*}/lib.sh"
need groff
case $page in
*.gz) gzip -dc "$page" >"$tmp/page" || fail "cannot uncompress $page" ;;
*) cp "$page" "$tmp/page" || fail "no manual page at $page" ;;
esac
grep -q '^\.TH NAME-DIALOGUE 1 ' "$tmp/page" || fail "$page is not name-dialogue(1)"
groff -man -Tutf8 -ww -z "$tmp/page" >"$tmp/warnings" 2>&1 || fail "groff failed: $(cat "$tmp/warnings")"
[ ! -s "$tmp/warnings" ] || fail "groff: $(cat "$tmp/warnings")"
