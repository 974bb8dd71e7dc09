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
# own registration are gone, that the box came from the check in the
# installation folder, and that the data's neighbours stay. All data are
# throw-away files made here, inside the sandbox.
. "$(dirname "$0")/case_support.sh" "$1" "$2" fullcheck-nsis
# The sample's default folder, under Program Files, where only
# administrators can change the check that the elevated uninstall starts;
# the runs in place use a folder without blanks, as NSIS takes _?= only
# unquoted and Wine quotes every argument that holds a blank.
default_instdir_win='C:\Program Files (x86)\Corvanta\Marbel-Quint'
default_instdir="$WINEPREFIX/drive_c/Program Files (x86)/Corvanta/Marbel-Quint"
instdir_win=$default_instdir_win instdir=$default_instdir
own_key="$uninstall_keys\\{6F1C2A90-3B7E-4D15-8A26-C0E9B4D7F312}"

clean_up_nsis() {
  clean_up
  rm -rf -- "$default_instdir"
  rmdir -- "$(dirname "$default_instdir")" 2>/dev/null || true
  rm -rf -- "$profile"/AppData/Local/Temp/~nsu*.tmp
  reg32 delete "$own_key" /f
}
trap clean_up_nsis EXIT

# ---- The installers ---------------------------------------------------------

clean_up_nsis
mkdir -p "$area"
# The uninstaller as the panel starts it runs as a copy named Un_A.exe.
draw_windows_of setup-mui.exe setup-plain.exe Un.exe Un_A.exe
for build in mui plain; do
  flags=(-V2 -WX -DCHECK_EXE="$bin/FullUninstallCheck.exe" -DOUTFILE="$area/setup-$build.exe")
  [ "$build" = plain ] && flags+=(-DPLAIN)
  if ! makensis "${flags[@]}" "$root/integration/nsis/example/installer.nsi"; then
    echo "nsis_case.sh: makensis failed for the $build build" >&2
    exit 1
  fi
done

# NSIS's installer stub has a fixed image base and no relocations. Wine 10
# running its 32-bit side under qemu-i386 (a kernel without 32-bit code)
# finds that address taken and cannot start it at all
# (STATUS_CONFLICTING_ADDRESSES); nothing of the include is tried then, so the
# test is skipped, saying why, rather than failed.
skip_where_fixed_base_cannot_load() {
  if grep -q 'failed to create main module.*c0000018' "$area/install.err" 2>/dev/null; then
    echo "nsis_case.sh: skipped: this Wine cannot load the NSIS installer at its fixed image base" \
      "(c0000018, STATUS_CONFLICTING_ADDRESSES): $(head -c 300 "$area/install.err")"
    exit 77
  fi
}

# ---- One case -----------------------------------------------------------------

# run_case NAME BUILD HOW OTHER ANSWER
#   HOW: panel (Uninstall.exe as such), inplace or silent (a copy run with _?=)
#   OTHER: other (another installation in the registry) or -
#   ANSWER: yes or no when a box is expected, - when none may appear
run_case() {
  case_name=$1
  local build=$2 how=$3 other=$4 answer=$5
  local before=$failures case_started=$SECONDS
  echo "---- $case_name: $build build, uninstalled $how, answer $answer"
  seed_data
  local folder=()
  if [ "$how" = panel ]; then
    instdir_win=$default_instdir_win instdir=$default_instdir
  else
    instdir_win="$area_win\\Marbel-Quint" instdir=$area/Marbel-Quint
    folder=("/D=$instdir_win")
  fi
  rm -rf -- "$instdir" "$area/run"
  if ! run_wine "$area_win\\setup-$build.exe" /S "${folder[@]}" >/dev/null 2>"$area/install.err" ||
     [ ! -f "$instdir/Uninstall.exe" ] || [ ! -f "$instdir/FullUninstallCheck.exe" ]; then
    skip_where_fixed_base_cannot_load
    fail "$case_name: the installer did not install"
    return
  fi
  reg32 query "$own_key" /v UninstallString || fail "$case_name: the installer wrote no uninstall entry"
  [ "$other" = other ] && register_other

  if [ "$answer" = - ]; then watch_for_box no; else watch_for_box "$answer"; fi
  local uninstaller
  case "$how" in
    panel)
      # NSIS copies the uninstaller to the temporary folder, starts the copy
      # in place and ends at once; the copy is what runs the check.
      run_wine "$instdir_win\\Uninstall.exe" >/dev/null 2>&1 || fail "$case_name: Uninstall.exe failed to start"
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
  if [ "$answer" != - ]; then
    answer_box
  elif [ -n "$uninstaller" ]; then
    past_check_without_box 60 ended "$uninstaller"
  else
    past_check_without_box 60 gone "$instdir"
  fi
  [ -z "$uninstaller" ] || await_exit "$uninstaller" 60 "the uninstaller"
  # For the panel run, the installation folder goes only after the check
  # ended.
  within 60 gone "$instdir"
  check_outcome "$answer"
  reg32 query "$own_key" && fail "$case_name: the uninstaller's own entry is still there"
  [ "$other" = other ] && reg32 delete "$other_key" /f
  [ "$failures" = "$before" ] && echo "$case_name: passed in $((SECONDS - case_started)) s"
}

started=$SECONDS
run_case yes       mui   panel   -     yes
run_case no        plain inplace -     no
run_case silent    mui   silent  -     -
run_case remaining plain inplace other -
echo "nsis_case.sh: $((SECONDS - started)) s for the uninstall runs"

[ "$failures" = 0 ] || exit 1
