#!/usr/bin/env bash
# msi_case.sh SANDBOX BIN_DIR: builds the sample product of integration/wix
# with Debian's wixl, checks in the built tables that the check's custom
# action is deferred, impersonated, before RemoveFiles and conditioned as
# documented, and in the sandboxed prefix installs it with Wine's msiexec /i
# and removes it the ways an administrator or a user would, with the check's
# data present:
#
#   case       removal       other install  answer  box  data
#   yes        /x /qb        -              Yes     yes  removed
#   no         /x /qb        -              No      yes  kept
#   silent     /x /qn        -              -       no   kept
#   remaining  /x /qb        in registry    -       no   kept
#
# Each case also checks that the installed files are gone, that the box came
# from the check in the installation folder, and that the data's neighbours
# stay. Wine runs everything as one user: only the table shows that the
# action is impersonated.
. "$(dirname "$0")/case_support.sh" "$1" "$2" fullcheck-msi
# The product's default folder: Wine's msiexec removes from there whatever
# folder was given at installation.
instdir_win='C:\Program Files (x86)\Corvanta\Marbel-Quint'
instdir="$WINEPREFIX/drive_c/Program Files (x86)/Corvanta/Marbel-Quint"
msi_win="$area_win\\MarbelQuint.msi"

clean_up_msi() {
  [ -f "$area/MarbelQuint.msi" ] && run_wine msiexec /x "$msi_win" /qn >/dev/null 2>&1
  clean_up
  rm -rf -- "$instdir"
  rmdir -- "$(dirname "$instdir")" 2>/dev/null || true
}
trap clean_up_msi EXIT

# ---- The package and its tables -----------------------------------------------

clean_up_msi
mkdir -p "$area/src"
draw_windows_of msiexec.exe
cp -- "$bin/FullUninstallCheck.exe" "$area/src/"
echo "Liesmich" >"$area/src/Liesmich.txt"
if ! (cd "$area/src" && wixl -I "$root/integration/wix" -D FullUninstallCheckSource=FullUninstallCheck.exe \
        -D ReadmeSource=Liesmich.txt -o ../MarbelQuint.msi "$root/integration/wix/example/product.wxs"); then
  echo "msi_case.sh: wixl failed" >&2
  exit 1
fi

# A table's rows as msiinfo exports them, its line ends (CRLF) made plain.
table() { msiinfo export "$area/MarbelQuint.msi" "$1" | tr -d '\r' | tail -n +4; }
action=$(table CustomAction | awk -F'\t' '$1 == "FullUninstallCheck"')
IFS=$'\t' read -r _ type source target _ <<<"$action"
echo "custom action: type ${type:-none}, source ${source:-none}, command ${target:-none}"
# 18: runs a file of the installation; 1024: deferred; 2048: not impersonated.
[ $((type & 63)) = 18 ] && [ "$source" = FullUninstallCheckExe ] ||
  fail "the action does not run the installed check"
[ "$target" = askfulluninstallation ] || fail "the action's command line is not askfulluninstallation"
[ $((type & 1024)) != 0 ] || fail "the action is not deferred"
[ $((type & 2048)) = 0 ] || fail "the action runs as SYSTEM (not impersonated)"
sequence() { table InstallExecuteSequence | awk -F'\t' -v a="$1" '$1 == a { print $3 }'; }
condition=$(table InstallExecuteSequence | awk -F'\t' '$1 == "FullUninstallCheck" { print $2 }')
at=$(sequence FullUninstallCheck) remove_files=$(sequence RemoveFiles) initialize=$(sequence InstallInitialize)
echo "sequence: InstallInitialize $initialize, the check ${at:-none}, RemoveFiles $remove_files"
[ -n "$at" ] && [ "$at" -gt "$initialize" ] && [ "$at" -lt "$remove_files" ] && [ "$at" -gt 2600 ] ||
  fail "the action is not between RemoveRegistryValues (2600) and RemoveFiles"
[ "$condition" = 'REMOVE="ALL" AND NOT UPGRADINGPRODUCTCODE AND UILevel >= 3' ] ||
  fail "the action's condition is $condition"

# ---- One case -----------------------------------------------------------------

# run_case NAME UI OTHER ANSWER
#   UI: /qb or /qn for the removal
#   OTHER: other (another installation in the registry) or -
#   ANSWER: yes or no when a box is expected, - when none may appear
run_case() {
  case_name=$1
  local ui=$2 other=$3 answer=$4
  local before=$failures case_started=$SECONDS
  echo "---- $case_name: removed with /x $ui, answer $answer"
  seed_data
  if ! run_wine msiexec /i "$msi_win" /qn >/dev/null 2>&1 || [ ! -f "$instdir/FullUninstallCheck.exe" ]; then
    fail "$case_name: msiexec /i did not install"
    return
  fi
  [ "$other" = other ] && register_other

  if [ "$answer" = - ]; then watch_for_box no; else watch_for_box "$answer"; fi
  run_wine msiexec /x "$msi_win" "$ui" >/dev/null 2>&1 &
  local removal=$!
  if [ "$answer" != - ]; then
    answer_box
  else
    past_check_without_box 90 ended "$removal"
  fi
  await_exit "$removal" 90 "msiexec /x"
  check_outcome "$answer"
  [ "$other" = other ] && reg32 delete "$other_key" /f
  [ "$failures" = "$before" ] && echo "$case_name: passed in $((SECONDS - case_started)) s"
}

started=$SECONDS
run_case yes       /qb -     yes
run_case no        /qb -     no
run_case silent    /qn -     -
run_case remaining /qb other -
echo "msi_case.sh: $((SECONDS - started)) s for the install and removal runs"

[ "$failures" = 0 ] || exit 1
