#!/usr/bin/env bash
# demo_case.sh BUILD_DIR yes|no nodisplay|flag: runs scripts/demo headless on
# the already-built tree, as a new user without a desktop would (nodisplay:
# DISPLAY unset) or with --headless on a desktop (flag), answering Yes or No,
# and checks that it ends by itself and shows what it promises: the box read
# off its window with the German labels, the close request, the exit code,
# the listings and the screenshot.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "$1")
answer=$2
how=$3

args=()
[ "$answer" = no ] && args+=(--no)
environment=(env)
case "$how" in
  nodisplay) environment+=(-u DISPLAY) ;;
  flag) args+=(--headless) ;;
  *) echo "demo_case.sh: nodisplay or flag, not $how" >&2; exit 2 ;;
esac
environment+=(FULLCHECK_DEMO_BUILD="$build")

screenshot=$build/demo-prompt.png
output=$build/demo-case-$answer-$how.txt
rm -f -- "$screenshot"
started=$SECONDS
status=0
# The demo answers for the user; should it wait for one all the same, the
# limit ends it and the test fails.
timeout -k 10 240 "${environment[@]}" "$root/scripts/demo" "${args[@]}" </dev/null >"$output" 2>&1 ||
  status=$?
echo "demo ($answer, $how) ended after $((SECONDS - started)) s with $status; its output:"
sed 's/^/| /' "$output"

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
expect_line() {
  grep -qxF -- "$1" "$output" || fail "no line: $1"
}

[ "$status" = 0 ] || fail "exit status $status, not 0"
! grep -q "on your screen" "$output" || fail "took itself for a desktop run"
expect_line "  caption: Corvanta Marbel-Quint"
expect_line "  text: Möchten Sie eine vollständige Deinstallation Ihrer Daten durchführen?"
expect_line "  text: ACHTUNG: Es werden alle Daten inklusive Ihrer Konto-Daten von diesem Rechner gelöscht!"
expect_line "  text: Klicken Sie 'Nein', um nur das Programm zu entfernen."
expect_line '  buttons: "Ja" (id 6), "Nein" (id 7)'
expect_line "  icon: question"
grep -qE '^Close request: arrived \(message 0x[0-9a-f]+, wParam 666, lParam 0\); the stand-in closed\.$' \
  "$output" || fail "the close request did not arrive or the stand-in stayed"
expect_line "Exit code of FullUninstallCheck.exe: 0"

# The listings: before, everything; after, the data gone on Yes only, and
# the neighbours kept either way.
before=$(sed -n '/^Before:$/,/^$/p' "$output")
after=$(sed -n '/^After:$/,$p' "$output")
for entry in 'CorvantaMarbelQuint\Verläufe\2024-02.log' 'Lizenz.txt' 'Meine Konten.mqd' 'Brief an Max.txt'; do
  grep -qxF "    $entry" <<<"$before" || fail "before: $entry not listed"
done
for entry in 'Lizenz.txt' 'Brief an Max.txt'; do
  grep -qxF "    $entry" <<<"$after" || fail "after: $entry gone"
done
for entry in 'CorvantaMarbelQuint\' 'CorvantaMarbelQuint\Konto.db' 'Meine Konten.mqd'; do
  if [ "$answer" = yes ]; then
    ! grep -qxF "    $entry" <<<"$after" || fail "after Yes: $entry still there"
  else
    grep -qxF "    $entry" <<<"$after" || fail "after No: $entry gone"
  fi
done

# The screenshot: a PNG of the box alone (trimmed to it), not an empty screen.
if [ ! -s "$screenshot" ]; then
  fail "no screenshot at $screenshot"
else
  read -r format width height colours < <(identify -format '%m %w %h %k\n' "$screenshot" 2>/dev/null) ||
    fail "the screenshot cannot be read"
  echo "screenshot: ${format:-?} ${width:-?}x${height:-?}, ${colours:-?} colours"
  [ "${format:-}" = PNG ] || fail "the screenshot is not a PNG"
  [ "${width:-0}" -ge 200 ] && [ "${width:-0}" -le 800 ] && [ "${height:-0}" -ge 100 ] &&
    [ "${height:-0}" -le 400 ] || fail "the screenshot is not the size of the box"
  [ "${colours:-0}" -ge 8 ] || fail "the screenshot is nearly blank"
fi
[ ! -e "$build/demo" ] || fail "the demo's prefix was left behind"

[ "$failures" = 0 ] || exit 1
echo "demo ($answer, $how): as promised"
