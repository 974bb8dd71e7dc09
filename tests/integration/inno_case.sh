#!/usr/bin/env bash
# inno_case.sh SANDBOX BIN_DIR INNOSETUP_DIR: compiles the sample installer of
# integration/inno with ISCC.exe of Inno Setup 6.4.1 (the npm package that
# scripts/setup fetched into INNOSETUP_DIR), and in the sandboxed prefix
# installs it and uninstalls it the ways a user would, with the check's data
# present:
#
#   case       uninstall run                     other install  answer  box  data
#   yes        unins000.exe, confirmed           -              Yes     yes  removed
#   no         unins000.exe, confirmed           -              No      yes  kept
#   silent     unins000.exe /VERYSILENT          -              -       no   kept
#   remaining  unins000.exe, confirmed           in registry    -       no   kept
#
# Each case also checks that the application's folder is gone, that the box
# came from the check in that folder, and that the data's neighbours stay.
. "$(dirname "$0")/case_support.sh" "$1" "$2" fullcheck-inno
compiler=$3/node_modules/innosetup/bin
# The sample's default folder, under Program Files, where only
# administrators can change the check that the elevated uninstall starts.
instdir_win='C:\Program Files (x86)\Corvanta\Marbel-Quint'
instdir="$WINEPREFIX/drive_c/Program Files (x86)/Corvanta/Marbel-Quint"
own_key="$uninstall_keys\\{6F1C2A90-3B7E-4D15-8A26-C0E9B4D7F312}_is1"

if [ ! -f "$compiler/ISCC.exe" ]; then
  echo "inno_case.sh: no ISCC.exe in $compiler: run scripts/setup" >&2
  exit 1
fi

clean_up_inno() {
  clean_up
  rm -rf -- "$instdir"
  rmdir -- "$(dirname "$instdir")" 2>/dev/null || true
  reg32 delete "$own_key" /f
}
trap clean_up_inno EXIT

# ---- The installer ----------------------------------------------------------

clean_up_inno
mkdir -p "$area/src"
draw_windows_of MarbelQuintSetup.tmp unins000.exe _unins.tmp
# The compiler and the sources go where the prefix can reach them: it has no
# drive for the Linux root.
cp -r -- "$compiler" "$area/iscc"
cp -- "$root/integration/inno/FullUninstallCheck.iss" "$root/integration/inno/example/installer.iss" \
  "$bin/FullUninstallCheck.exe" "$area/src/"
started=$SECONDS
# ISCC.exe itself: it exits 2 on an error, where the package's wrapper
# exits 0.
if ! run_wine "$area_win\\iscc\\ISCC.exe" /Q "/DCheckExe=$area_win\\src\\FullUninstallCheck.exe" \
    "/I$area_win\\src" "/O$area_win" "$area_win\\src\\installer.iss"; then
  echo "inno_case.sh: ISCC.exe failed" >&2
  exit 1
fi
echo "inno_case.sh: compiled in $((SECONDS - started)) s"

# True once the uninstaller's second phase, the copy of unins000.exe in the
# temporary folder that does the work, no longer runs in this prefix:
# unins000.exe itself ends as soon as it has started it.
second_phase_ended() { [ -z "$(prefix_processes "/SECONDPHASE=$instdir_win\\unins000.exe")" ]; }

# ---- One case -----------------------------------------------------------------

# run_case NAME HOW OTHER ANSWER
#   HOW: confirmed (the uninstaller's own boxes answered) or silent
#   OTHER: other (another installation in the registry) or -
#   ANSWER: yes or no when a box is expected, - when none may appear
run_case() {
  case_name=$1
  local how=$2 other=$3 answer=$4
  local before=$failures case_started=$SECONDS
  echo "---- $case_name: uninstalled $how, answer $answer"
  seed_data
  if ! run_wine "$area_win\\MarbelQuintSetup.exe" /VERYSILENT /SUPPRESSMSGBOXES \
      >/dev/null 2>&1 || [ ! -f "$instdir/unins000.exe" ] || [ ! -f "$instdir/FullUninstallCheck.exe" ]; then
    fail "$case_name: the installer did not install"
    return
  fi
  echo "  installed after $((SECONDS - case_started)) s"
  [ "$other" = other ] && register_other

  if [ "$answer" = - ]; then watch_for_box no; else watch_for_box "$answer"; fi
  local args=("$instdir_win\\unins000.exe")
  [ "$how" = silent ] && args+=(/VERYSILENT /SUPPRESSMSGBOXES)
  run_wine "${args[@]}" >/dev/null 2>&1 &
  local first_phase=$!
  if [ "$how" != silent ]; then
    # "Do you want to remove it completely?"
    run_wine "$bin/prompt_user.exe" press yes 60 >/dev/null 2>&1 ||
      fail "$case_name: the uninstaller asked nothing"
  fi
  if [ "$answer" != - ]; then
    answer_box
  else
    past_check_without_box 90 gone "$instdir"
  fi
  # "... was removed", once the files are gone.
  if [ "$how" != silent ]; then
    echo "  answered after $((SECONDS - case_started)) s"
    run_wine "$bin/prompt_user.exe" press ok 90 >/dev/null 2>&1 ||
      fail "$case_name: the uninstaller did not say it had finished"
  fi
  within 90 gone "$instdir" || fail "$case_name: the installation folder is still there after 90 s"
  if ! within 60 ended "$first_phase" || ! within 60 second_phase_ended; then
    fail "$case_name: the uninstaller did not end within 60 s"
    kill "$first_phase" 2>/dev/null
  fi
  wait "$first_phase" 2>/dev/null
  check_outcome "$answer"
  reg32 query "$own_key" && fail "$case_name: the uninstaller's own entry is still there"
  [ "$other" = other ] && reg32 delete "$other_key" /f
  [ "$failures" = "$before" ] && echo "$case_name: passed in $((SECONDS - case_started)) s"
}

started=$SECONDS
run_case yes       confirmed -     yes
run_case no        confirmed -     no
run_case silent    silent    -     -
run_case remaining confirmed other -
echo "inno_case.sh: $((SECONDS - started)) s for the install and uninstall runs"

[ "$failures" = 0 ] || exit 1
