#!/usr/bin/env bash
# link_case.sh SANDBOX TEST_PROGRAM: the end-to-end case of a data folder
# holding links that lead out of it. Wine makes no file-system links, so
# they are made here, on the Linux side, before TEST_PROGRAM runs in the
# sandbox; afterwards the links go as links (rm never follows one) and the
# targets are checked, the one that no drive reaches included.
#
# All targets are throw-away files made here, inside the sandbox:
#   Ordner-Link     -> C:\fullcheck-e2e-links\outside\Ordner (a folder)
#   Datei-Link.txt  -> C:\fullcheck-e2e-links\outside\Datei.txt (a file)
#   Ausserhalb-Link -> a folder of the sandbox outside every drive
#   Corvanta-Link   -> the data folder's own parent "Corvanta", whose
#                      throw-away neighbour files the test seeds
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
sandbox_arg=$1
program=$2
. "$root/scripts/wine-sandbox" "$sandbox_arg"

shopt -s nullglob
profiles=("$WINEPREFIX"/drive_c/users/*/AppData/Roaming)
if [ ${#profiles[@]} -ne 1 ]; then
  echo "link_case.sh: expected one roaming AppData folder in $WINEPREFIX" >&2
  exit 1
fi
roaming=${profiles[0]}
data="$roaming/Corvanta/CorvantaMarbelQuint"
area="$WINEPREFIX/drive_c/fullcheck-e2e-links"
hidden="$sandbox/e2e-links-outside-drives"
keep="outside, must stay"
targets=("$area/outside/Datei.txt" "$area/outside/Ordner/behalten.txt"
         "$area/outside/Ordner/Unterordner/behalten.txt" "$hidden/Ordner/behalten.txt")

clean_up() {
  rm -rf -- "$data" "$area" "$hidden"
  rmdir -- "$roaming/Corvanta" 2>/dev/null || true
}

clean_up
for target in "${targets[@]}"; do
  mkdir -p -- "$(dirname "$target")"
  echo "$keep" >"$target"
done
mkdir -p -- "$data/Backups"
echo "data" >"$data/Einstellungen.xml"
echo "data" >"$data/Backups/neu.mqb"
ln -s -- "$area/outside/Ordner" "$data/Ordner-Link"
ln -s -- "$area/outside/Datei.txt" "$data/Datei-Link.txt"
ln -s -- "$hidden/Ordner" "$data/Ausserhalb-Link"
ln -s -- "$roaming/Corvanta" "$data/Corvanta-Link"

status=0
(cd "$FULLCHECK_SCRATCH" && wine "$program") || status=$?

for target in "${targets[@]}"; do
  if [ "$(cat -- "$target" 2>/dev/null)" != "$keep" ]; then
    echo "link_case.sh: a link's target was changed or deleted: $target" >&2
    status=1
  fi
done
clean_up
exit "$status"
