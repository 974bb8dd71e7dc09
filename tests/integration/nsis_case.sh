#!/usr/bin/env bash
# nsis_case.sh SANDBOX BIN_DIR: builds the sample installer of
# integration/nsis with Debian's makensis (with and without Modern UI), and
# in the sandboxed prefix installs it and uninstalls it the ways a user
# would, with the check's data present:
#
#   case       build  uninstall run                     other install  answer  box  data
#   yes        MUI    Uninstall.exe as from the panel   -              Yes     yes  removed
#   no         plain  in place (_?=), from a copy       -              No      yes  kept
#   silent     MUI    in place, /S                      -              -       no   kept
#   remaining  plain  in place                          in registry    -       no   kept
#
# Each case also checks that the installation folder and the uninstaller's
# own registration are gone and that the data's neighbours stay. All data
# are throw-away files made here, inside the sandbox.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/wine-sandbox" "$1"
bin=$(realpath "$2")

shopt -s nullglob
profiles=("$WINEPREFIX"/drive_c/users/*/AppData/Roaming)
if [ ${#profiles[@]} -ne 1 ]; then
  echo "nsis_case.sh: expected one roaming AppData folder in $WINEPREFIX" >&2
  exit 1
fi
roaming=${profiles[0]}
profile=$(dirname "$(dirname "$roaming")")
documents=$profile/Documents
data=$roaming/Corvanta/CorvantaMarbelQuint
account=$documents/"Meine Konten.mqd"
neighbours=("$roaming/Corvanta/nsis-test-Lizenz.txt" "$documents/nsis-test-Brief.txt")

area=$WINEPREFIX/drive_c/fullcheck-nsis
area_win='C:\fullcheck-nsis'
instdir_win="$area_win\\Marbel-Quint"
instdir=$area/Marbel-Quint
uninstall_keys='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
own_key="$uninstall_keys\\{6F1C2A90-3B7E-4D15-8A26-C0E9B4D7F312}"
# Another installation of the host application, in the double-brace form.
other_key="$uninstall_keys\\{{0D84E5B1-92C3-4F6A-B7D0-5A1E3C8F9B24}}"
seen_win="$area_win\\prompt.txt"
seen=$area/prompt.txt

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# Wine programs start in the scratch drive, as in every test.
run_wine() { (cd "$FULLCHECK_SCRATCH" && exec wine "$@") </dev/null; }

reg32() { run_wine reg "$@" /reg:32 >/dev/null 2>&1; }

clean_up() {
  rm -rf -- "$data" "$account" "${neighbours[@]}" "$area"
  rmdir -- "$roaming/Corvanta" 2>/dev/null || true
  rm -rf -- "$profile"/AppData/Local/Temp/~nsu*.tmp
  reg32 delete "$own_key" /f
  reg32 delete "$other_key" /f
}
trap clean_up EXIT

# ---- The installers ---------------------------------------------------------

clean_up
mkdir -p "$area"
for build in mui plain; do
  flags=(-V2 -WX -DCHECK_EXE="$bin/FullUninstallCheck.exe" -DOUTFILE="$area/setup-$build.exe")
  [ "$build" = plain ] && flags+=(-DPLAIN)
  if ! makensis "${flags[@]}" "$root/integration/nsis/example/installer.nsi"; then
    echo "nsis_case.sh: makensis failed for the $build build" >&2
    exit 1
  fi
done

# True when process $1 ended within $2 seconds.
ended_within() {
  local pid=$1 tenths=$(($2 * 10))
  while [ "$tenths" -gt 0 ] && kill -0 "$pid" 2>/dev/null; do
    sleep 0.1
    tenths=$((tenths - 1))
  done
  ! kill -0 "$pid" 2>/dev/null
}

# True when path $1 is gone within $2 seconds.
gone_within() {
  local tenths=$(($2 * 10))
  while [ "$tenths" -gt 0 ] && [ -e "$1" ]; do
    sleep 0.1
    tenths=$((tenths - 1))
  done
  [ ! -e "$1" ]
}

# ---- One case -----------------------------------------------------------------

# run_case NAME BUILD HOW OTHER ANSWER
#   HOW: panel (Uninstall.exe as such), inplace or silent (a copy run with _?=)
#   OTHER: other (another installation in the registry) or -
#   ANSWER: yes or no when a box is expected, - when none may appear
run_case() {
  local name=$1 build=$2 how=$3 other=$4 answer=$5
  local before=$failures
  echo "---- $name: $build build, uninstalled $how, answer $answer"

  rm -rf -- "$data" "$instdir" "$seen" "$area/run"
  rm -f -- "$account" "${neighbours[@]}"
  mkdir -p "$data/Verläufe" "$documents"
  echo "Einstellungen" >"$data/Einstellungen.xml"
  echo "Januar" >"$data/Verläufe/2024-01.log"
  echo "Konten" >"$account"
  for file in "${neighbours[@]}"; do echo "keep" >"$file"; done

  if ! run_wine "$area_win\\setup-$build.exe" /S "/D=$instdir_win" >/dev/null 2>&1 ||
     [ ! -f "$instdir/Uninstall.exe" ] || [ ! -f "$instdir/FullUninstallCheck.exe" ]; then
    fail "$name: the installer did not install"
    return
  fi
  reg32 query "$own_key" /v UninstallString || fail "$name: the installer wrote no uninstall entry"
  if [ "$other" = other ]; then
    mkdir -p "$area/Andere"
    echo "another installation's uninstaller" >"$area/Andere/Uninstall.exe"
    reg32 add "$other_key" /v UninstallString /t REG_SZ /d "$area_win\\Andere\\Uninstall.exe" /f ||
      fail "$name: could not write the other installation's entry"
  fi

  # The user at the box: waits for it while the uninstaller runs.
  run_wine "$bin/e2e_user.exe" wait "$seen_win" 60 >/dev/null 2>&1 &
  local watcher=$! uninstaller status=0
  case "$how" in
    panel)
      # NSIS copies the uninstaller to the temporary folder, starts the copy
      # in place and ends at once; the copy is what runs the check.
      run_wine "$instdir_win\\Uninstall.exe" >/dev/null 2>&1 || fail "$name: Uninstall.exe failed to start"
      uninstaller="" ;;
    inplace | silent)
      # What NSIS does itself, done here so that the run can be waited for.
      mkdir -p "$area/run"
      cp -- "$instdir/Uninstall.exe" "$area/run/Un.exe"
      local args=("$area_win\\run\\Un.exe")
      [ "$how" = silent ] && args+=(/S)
      args+=("_?=$instdir_win")
      run_wine "${args[@]}" >/dev/null 2>&1 &
      uninstaller=$! ;;
  esac

  # Whether the run is still going: the uninstaller's process, or for the
  # panel run the installation folder, which goes only after the check ended.
  running() {
    if [ -n "$uninstaller" ]; then kill -0 "$uninstaller" 2>/dev/null; else [ -e "$instdir" ]; fi
  }
  local prompted=0 tenths=600
  if [ "$answer" != - ]; then
    if ended_within "$watcher" 60 && wait "$watcher"; then
      prompted=1
      run_wine "$bin/e2e_user.exe" answer "$answer" >/dev/null 2>&1 || fail "$name: could not click $answer"
    else
      fail "$name: no box appeared"
    fi
  else
    while running && kill -0 "$watcher" 2>/dev/null && [ "$tenths" -gt 0 ]; do
      sleep 0.1
      tenths=$((tenths - 1))
    done
    if ! kill -0 "$watcher" 2>/dev/null && wait "$watcher"; then
      prompted=1
      fail "$name: a box appeared"
      # Answered No, so that the uninstaller can go on.
      run_wine "$bin/e2e_user.exe" answer no >/dev/null 2>&1
    fi
  fi
  kill "$watcher" 2>/dev/null
  wait "$watcher" 2>/dev/null
  if [ -n "$uninstaller" ]; then
    if ended_within "$uninstaller" 60; then
      wait "$uninstaller" || status=$?
      [ "$status" = 0 ] || fail "$name: the uninstaller exited with $status"
    else
      fail "$name: the uninstaller did not end within 60 s"
      kill "$uninstaller" 2>/dev/null
      wait "$uninstaller" 2>/dev/null
    fi
  fi
  gone_within "$instdir" 60 || fail "$name: the installation folder is still there: $(ls "$instdir" | tr '\n' ' ')"

  if [ "$prompted" = 1 ] && [ -f "$seen" ]; then
    sed 's/^/  box: /' "$seen"
    grep -qx 'caption: Corvanta Marbel-Quint' "$seen" || fail "$name: the box has another caption"
  fi
  reg32 query "$own_key" && fail "$name: the uninstaller's own entry is still there"
  if [ "$answer" = yes ]; then
    [ ! -e "$data" ] || fail "$name: the data folder is still there"
    [ ! -e "$account" ] || fail "$name: the account file is still there"
  else
    [ -f "$data/Verläufe/2024-01.log" ] || fail "$name: the data folder was touched"
    [ -f "$account" ] || fail "$name: the account file is gone"
  fi
  for file in "${neighbours[@]}"; do
    [ "$(cat -- "$file" 2>/dev/null)" = keep ] || fail "$name: $file was touched"
  done
  reg32 delete "$other_key" /f
  [ "$failures" = "$before" ] && echo "$name: passed"
}

started=$SECONDS
run_case yes       mui   panel   -     yes
run_case no        plain inplace -     no
run_case silent    mui   silent  -     -
run_case remaining plain inplace other -
echo "nsis_case.sh: $((SECONDS - started)) s for the uninstall runs"

[ "$failures" = 0 ] || exit 1
