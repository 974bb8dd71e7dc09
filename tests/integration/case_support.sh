# Sourced by the uninstaller tests of NSIS, Inno Setup and Windows Installer, with
# the sandbox as $1, the build tree's bin folder as $2 and the test's area
# below drive C: as $3: the prefix's environment, the check's data seeded as
# throw-away files inside the sandbox and checked afterwards, the user at the
# box, and the registry entry of another installation.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
. "$root/scripts/lib/sandbox.sh" "$1" || exit 1
bin=$(realpath "$2")

data=$roaming/Corvanta/CorvantaMarbelQuint
account=$documents/"Meine Konten.mqd"
neighbours=("$roaming/Corvanta/integration-test-Lizenz.txt" "$documents/integration-test-Brief.txt")

area_win="C:\\$3"
area=$WINEPREFIX/drive_c/$3
seen_win="$area_win\\prompt.txt"
seen=$area/prompt.txt
uninstall_keys='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# Another installation of the host application, in the double-brace form.
other_key="$uninstall_keys\\{{0D84E5B1-92C3-4F6A-B7D0-5A1E3C8F9B24}}"

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

reg32() { run_wine reg "$@" /reg:32 >/dev/null 2>&1; }

clean_up() {
  rm -rf -- "$data" "$account" "${neighbours[@]}" "$area"
  rmdir -- "$roaming/Corvanta" 2>/dev/null || true
  reg32 delete "$other_key" /f
}

# Wine, on a display without a window manager, waits two seconds for one
# whenever a window it would let a manager handle closes: the installers'
# programs named get windows Wine draws itself (as the e2e tests do for the
# check), which close at once. Set for this prefix only.
draw_windows_of() {
  mkdir -p "$area"
  {
    echo REGEDIT4
    local program
    for program in FullUninstallCheck.exe "$@"; do
      printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s\\X11 Driver]\n"Managed"="N"\n' "$program"
    done
  } >"$area/unmanaged.reg"
  run_wine reg import "$area_win\\unmanaged.reg" >/dev/null 2>&1 || echo "could not import $area/unmanaged.reg" >&2
}

# Waits up to $2 seconds for the uninstaller started as process $1, called
# $3 in a failure: the case fails when it runs on (it is then ended) or
# exits with anything but 0.
await_exit() {
  local pid=$1 seconds=$2 what=$3 status=0
  if within "$seconds" ended "$pid"; then
    wait "$pid" || status=$?
    [ "$status" = 0 ] || fail "$case_name: $what exited with $status"
  else
    fail "$case_name: $what did not end within $seconds s"
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  fi
}

# The check's data and their neighbours, fresh.
seed_data() {
  rm -rf -- "$data" "$seen"
  rm -f -- "$account" "${neighbours[@]}"
  make_entries <<TABLE
file | $data/Einstellungen.xml     | Einstellungen
file | $data/Verläufe/2024-01.log  | Januar
file | $account                    | Konten
file | ${neighbours[0]}            | keep
file | ${neighbours[1]}            | keep
TABLE
}

# Registers another installation whose uninstaller exists.
register_other() {
  mkdir -p "$area/Andere"
  echo "another installation's uninstaller" >"$area/Andere/Uninstall.exe"
  reg32 add "$other_key" /v UninstallString /t REG_SZ /d "$area_win\\Andere\\Uninstall.exe" /f ||
    fail "$case_name: could not write the other installation's entry"
}

# Ends every watcher of this prefix still running from an earlier case or
# test: a stale one would answer this case's box in its own way.
end_stale_watchers() {
  local pid
  for pid in $(prefix_processes "prompt_user.exe watch "); do
    kill -9 "$pid" 2>/dev/null
  done
  return 0
}

# The user at the check's box, from now on: watch_for_box ANSWER starts
# watching for it, to answer it yes or no when it comes (no where none may
# come, so that the uninstall goes on); answer_box waits until it was
# answered, and no_box_seen ends the watch and tells whether none came.
# The watcher is started so that $watcher is Wine's own process: a watcher
# left behind would answer the next box of another test.
watch_for_box() {
  end_stale_watchers
  run_wine "$bin/prompt_user.exe" watch "$seen_win" "$1" 90 >/dev/null 2>&1 &
  watcher=$!
}
answer_box() {
  if ! within 100 ended "$watcher" || ! wait "$watcher"; then
    fail "$case_name: no box appeared, or it could not be answered"
    kill "$watcher" 2>/dev/null
    wait "$watcher" 2>/dev/null
  fi
}
# For a case where no box may appear: waits up to $1 seconds until the
# command that follows succeeds (the uninstall has gone past the check) or
# a box appears, and then tells whether none came.
past_check_without_box() {
  local seconds=$1
  shift
  # Not examined: either way no_box_seen tells.
  within "$seconds" box_came_or "$@" || true
  no_box_seen
}
box_came_or() { ended "$watcher" || "$@"; }
no_box_seen() {
  if ! kill -0 "$watcher" 2>/dev/null && wait "$watcher"; then
    fail "$case_name: a box appeared"
    return 1
  fi
  kill "$watcher" 2>/dev/null
  wait "$watcher" 2>/dev/null
  return 0
}

# check_outcome ANSWER: the data gone (yes) or untouched (no, or - where no
# box may appear), their neighbours untouched, the installation folder
# ($instdir, $instdir_win in Windows' form) gone, and where a box came, that
# the check showing it ran from the installation folder.
check_outcome() {
  local answer=$1
  if [ "$answer" != - ]; then
    sed 's/^/  box: /' "$seen"
    local image
    image=$(sed -n 's/^image: //p' "$seen" | tr -d '\r')
    [ "$image" = "$instdir_win\\FullUninstallCheck.exe" ] ||
      fail "$case_name: the check ran from $image, not from the installation folder"
  fi
  if [ "$answer" = yes ]; then
    [ ! -e "$data" ] || fail "$case_name: the data folder is still there"
    [ ! -e "$account" ] || fail "$case_name: the account file is still there"
  else
    [ -f "$data/Verläufe/2024-01.log" ] || fail "$case_name: the data folder was touched"
    [ -f "$account" ] || fail "$case_name: the account file is gone"
  fi
  for file in "${neighbours[@]}"; do
    [ "$(cat -- "$file" 2>/dev/null)" = keep ] || fail "$case_name: $file was touched"
  done
  [ ! -e "$instdir" ] || fail "$case_name: the installation folder is still there: $(ls "$instdir" | tr '\n' ' ')"
}
