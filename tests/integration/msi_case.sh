#!/usr/bin/env bash
# msi_case.sh SANDBOX BIN_DIR: builds the sample product of integration/wix
# with its build.sh (Debian's wixl, the TS-aware bit added with msibuild),
# checks in the built tables that the check's custom action is deferred,
# impersonated, TS-aware, before RemoveFiles and conditioned as documented,
# and in the sandboxed prefix installs it with Wine's msiexec /i and removes
# it the ways an administrator or a user would, with the check's data
# present:
#
#   case         package               removal      other  answer  box  data    product
#   yes          the sample            /x /qb       -      Yes     yes  removed removed
#   no           the sample            /x /qb       -      No      yes  kept    removed
#   silent       the sample            /x /qn       -      -       no   kept    removed
#   remaining    the sample            /x /qb       yes    -       no   kept    removed
#   fails later  + a failing action    /x /qb       -      Yes     yes  removed installed
#   no UILevel   condition without it  /x /qn       -      No      yes  kept    removed
#   side by side the sample and a second edition in another folder, each
#                removed with /qn: each takes its own copy of the check
#
# Each case also checks that the box came from the check in the
# installation folder and that the data's neighbours stay. "fails later"
# is a removal that fails after the user's Yes (a deferred action after the
# check's that exits 1): the product stays installed, the data stay gone,
# as docs/integration.md says. "no UILevel" is the control of "silent":
# without the condition, this Wine's /qn lets the box appear, so the
# condition is what keeps it away. Wine runs everything as one user: only
# the table shows that the action is impersonated and TS-aware.
. "$(dirname "$0")/case_support.sh" "$1" "$2" fullcheck-msi
# The product's default folder: Wine's msiexec removes from there whatever
# folder was given at installation.
instdir_win='C:\Program Files (x86)\Corvanta\Marbel-Quint'
instdir="$WINEPREFIX/drive_c/Program Files (x86)/Corvanta/Marbel-Quint"

# The second edition of "side by side": the sample under another name and
# folder (its own product and upgrade code).
second_instdir_win='C:\Program Files (x86)\Corvanta\Marbel-Quint Zweitausgabe'
second_instdir="$WINEPREFIX/drive_c/Program Files (x86)/Corvanta/Marbel-Quint Zweitausgabe"

clean_up_msi() {
  local package
  for package in MarbelQuint FailsLater NoUiLevel Zweitausgabe; do
    [ -f "$area/$package.msi" ] && run_wine msiexec /x "$area_win\\$package.msi" /qn >/dev/null 2>&1
  done
  clean_up
  rm -rf -- "$instdir" "$second_instdir"
  rmdir -- "$(dirname "$instdir")" 2>/dev/null || true
}
trap clean_up_msi EXIT

# ---- The packages and their tables --------------------------------------------

clean_up_msi
mkdir -p "$area/src" "$area/second"
draw_windows_of msiexec.exe
cp -- "$bin/FullUninstallCheck.exe" "$area/src/"
echo "Liesmich" >"$area/src/Liesmich.txt"
build() { sh "$root/integration/wix/example/build.sh" "$area/src" "$@" 2>"$area/wixl.err"; }
if ! build "$area/MarbelQuint.msi"; then
  cat "$area/wixl.err" >&2
  echo "msi_case.sh: the sample did not build" >&2
  exit 1
fi
# Test-only variants of the built sample, changed with msibuild's SQL: a
# deferred action after the check's that fails when FAILAFTERCHECK is set
# (34: an executable run in a folder; 1024: deferred; return checked), and
# the check's condition without UILevel.
cp -- "$area/MarbelQuint.msi" "$area/FailsLater.msi"
cp -- "$area/MarbelQuint.msi" "$area/NoUiLevel.msi"
msibuild "$area/FailsLater.msi" -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`)
    VALUES ('FailAfterCheck', 1058, 'INSTALLFOLDER', '[SystemFolder]cmd.exe /c exit 1')" &&
  msibuild "$area/FailsLater.msi" -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`)
    VALUES ('FailAfterCheck', 'REMOVE=\"ALL\" AND FAILAFTERCHECK', 3460)" &&
  msibuild "$area/NoUiLevel.msi" -q "UPDATE \`InstallExecuteSequence\`
    SET \`Condition\` = 'REMOVE=\"ALL\" AND NOT UPGRADINGPRODUCTCODE' WHERE \`Action\` = 'FullUninstallCheck'" ||
  { echo "msi_case.sh: msibuild could not make the variants" >&2; exit 1; }
sed -e 's/Name="Corvanta Marbel-Quint"/Name="Corvanta Marbel-Quint Zweitausgabe"/' \
    -e 's/Name="Marbel-Quint"/Name="Marbel-Quint Zweitausgabe"/' \
    -e 's/UpgradeCode="{C4E1A7B2-6D93-4F08-B5E2-3A9D17C60F84}"/UpgradeCode="{5A0C2E7D-93B4-4C61-8E2F-D7B1A46C0E95}"/' \
    "$root/integration/wix/example/product.wxs" >"$area/second/product.wxs"
build "$area/Zweitausgabe.msi" "$area/second/product.wxs" ||
  { cat "$area/wixl.err" >&2; echo "msi_case.sh: the second edition did not build" >&2; exit 1; }

# A table's rows as msiinfo exports them, its line ends (CRLF) made plain.
table() { msiinfo export "$area/MarbelQuint.msi" "$1" | tr -d '\r' | tail -n +4; }
action=$(table CustomAction | awk -F'\t' '$1 == "FullUninstallCheck"')
IFS=$'\t' read -r _ type source target _ <<<"$action"
echo "custom action: type ${type:-none}, source ${source:-none}, command ${target:-none}"
# 17490 = 2 + 16 (an executable, a file of the installation: the installed
# check) + 64 (its exit code ignored, the removal waits for it) + 1024
# (deferred, in the removal's script) + 16384 (TS-aware: impersonated on a
# terminal server too); none of 2048 (no impersonation, as SYSTEM), 256
# (rollback) or 512 (commit).
[ "$type" = 17490 ] || fail "the action's type is ${type:-none}, not 17490"
[ $((type & 63)) = 18 ] && [ "$source" = FullUninstallCheckExe ] ||
  fail "the action does not run the installed check"
[ "$target" = askfulluninstallation ] || fail "the action's command line is not askfulluninstallation"
[ $((type & 1024)) != 0 ] || fail "the action is not deferred"
[ $((type & 2048)) = 0 ] || fail "the action runs as SYSTEM (not impersonated)"
[ $((type & 16384)) != 0 ] || fail "the action is not TS-aware (SYSTEM in session 0 on a terminal server)"
component_id() {
  msiinfo export "$1" Component | tr -d '\r' | awk -F'\t' '$1 == "FullUninstallCheck" { print $2 }'
}
first_id=$(component_id "$area/MarbelQuint.msi") second_id=$(component_id "$area/Zweitausgabe.msi")
echo "the check's component: $first_id, in the second edition $second_id"
[ -n "$first_id" ] && [ "$first_id" != "$second_id" ] ||
  fail "both editions install the check as one component"
sequence() { table InstallExecuteSequence | awk -F'\t' -v a="$1" '$1 == a { print $3 }'; }
condition=$(table InstallExecuteSequence | awk -F'\t' '$1 == "FullUninstallCheck" { print $2 }')
at=$(sequence FullUninstallCheck) remove_files=$(sequence RemoveFiles) initialize=$(sequence InstallInitialize)
echo "sequence: InstallInitialize $initialize, the check ${at:-none}, RemoveFiles $remove_files"
[ -n "$at" ] && [ "$at" -gt "$initialize" ] && [ "$at" -lt "$remove_files" ] && [ "$at" -gt 2600 ] ||
  fail "the action is not between RemoveRegistryValues (2600) and RemoveFiles"
[ "$condition" = 'REMOVE="ALL" AND NOT UPGRADINGPRODUCTCODE AND UILevel >= 3' ] ||
  fail "the action's condition is $condition"

# ---- One case -----------------------------------------------------------------

# install NAME: installs package NAME.msi with /qn; false (the case failed)
# when the check is not in $instdir afterwards.
install() {
  if ! run_wine msiexec /i "$area_win\\$1.msi" /qn >/dev/null 2>&1 || [ ! -f "$instdir/FullUninstallCheck.exe" ]; then
    fail "$case_name: msiexec /i of $1.msi did not install"
    return 1
  fi
}

# run_case NAME PACKAGE UI OTHER ANSWER [PROPERTY]
#   PACKAGE: the package installed and removed (MarbelQuint.msi: the sample)
#   UI: /qb or /qn for the removal
#   OTHER: other (another installation in the registry) or -
#   ANSWER: yes or no when a box is expected, - when none may appear
#   PROPERTY: passed to msiexec /x (FAILAFTERCHECK=1: the removal fails
#     after the check, and the product must stay installed)
run_case() {
  case_name=$1
  local package=$2 ui=$3 other=$4 answer=$5 property=${6:-}
  local before=$failures case_started=$SECONDS
  echo "---- $case_name: $package removed with /x $ui $property, answer $answer"
  seed_data
  install "${package%.msi}" || return
  [ "$other" = other ] && register_other

  if [ "$answer" = - ]; then watch_for_box no; else watch_for_box "$answer"; fi
  run_wine msiexec /x "$area_win\\$package" "$ui" $property >/dev/null 2>&1 &
  local removal=$!
  if [ "$answer" != - ]; then
    answer_box
  else
    past_check_without_box 90 ended "$removal"
  fi
  if [ -n "$property" ]; then
    # The removal must fail (Windows: 1603, ERROR_INSTALL_FAILURE; Wine:
    # 1627, ERROR_FUNCTION_FAILED; a Linux exit status keeps the low byte).
    local status=0
    within 90 ended "$removal" || fail "$case_name: msiexec /x did not end within 90 s"
    wait "$removal" || status=$?
    echo "$case_name: msiexec /x exited with $status"
    [ "$status" != 0 ] || fail "$case_name: the removal did not fail"
    check_rolled_back "$answer"
    run_wine msiexec /x "$area_win\\$package" /qn >/dev/null 2>&1 || fail "$case_name: the product could not be removed afterwards"
  else
    await_exit "$removal" 90 "msiexec /x"
    check_outcome "$answer"
  fi
  [ "$other" = other ] && reg32 delete "$other_key" /f
  [ "$failures" = "$before" ] && echo "$case_name: passed in $((SECONDS - case_started)) s"
}

# After a removal that failed after the user's answer: the data as answered
# (Yes: gone, the check does not wait for the removal's end), the box from
# the installed check, and the product still installed, its files there.
check_rolled_back() {
  local answer=$1
  sed 's/^/  box: /' "$seen"
  local image
  image=$(sed -n 's/^image: //p' "$seen" | tr -d '\r')
  [ "$image" = "$instdir_win\\FullUninstallCheck.exe" ] ||
    fail "$case_name: the check ran from $image, not from the installation folder"
  if [ "$answer" = yes ]; then
    [ ! -e "$data" ] || fail "$case_name: the data folder is still there"
    [ ! -e "$account" ] || fail "$case_name: the account file is still there"
  fi
  for file in "${neighbours[@]}"; do
    [ "$(cat -- "$file" 2>/dev/null)" = keep ] || fail "$case_name: $file was touched"
  done
  [ -f "$instdir/FullUninstallCheck.exe" ] && [ -f "$instdir/Liesmich.txt" ] ||
    fail "$case_name: the failed removal took the installed files"
}

# Two editions side by side, each removed in turn with /qn (no box): the
# first's removal takes its folder and its copy of the check and leaves the
# second's; the second's takes the rest.
run_side_by_side() {
  case_name="side by side"
  local before=$failures case_started=$SECONDS
  echo "---- $case_name: MarbelQuint.msi and Zweitausgabe.msi, each removed with /x /qn"
  install MarbelQuint || return
  if ! run_wine msiexec /i "$area_win\\Zweitausgabe.msi" /qn >/dev/null 2>&1 ||
     [ ! -f "$second_instdir/FullUninstallCheck.exe" ]; then
    fail "$case_name: msiexec /i of Zweitausgabe.msi did not install"
    return
  fi
  run_wine msiexec /x "$area_win\\MarbelQuint.msi" /qn >/dev/null 2>&1 || fail "$case_name: the first removal failed"
  [ ! -e "$instdir" ] || fail "$case_name: the first edition's folder is still there: $(ls "$instdir" | tr '\n' ' ')"
  [ -f "$second_instdir/FullUninstallCheck.exe" ] || fail "$case_name: the first removal took the second's check"
  run_wine msiexec /x "$area_win\\Zweitausgabe.msi" /qn >/dev/null 2>&1 || fail "$case_name: the second removal failed"
  [ ! -e "$second_instdir" ] ||
    fail "$case_name: the second edition's folder is still there: $(ls "$second_instdir" | tr '\n' ' ')"
  [ "$failures" = "$before" ] && echo "$case_name: passed in $((SECONDS - case_started)) s"
}

started=$SECONDS
run_case yes          MarbelQuint.msi /qb -     yes
run_case no           MarbelQuint.msi /qb -     no
run_case silent       MarbelQuint.msi /qn -     -
run_case remaining    MarbelQuint.msi /qb other -
run_case "fails later" FailsLater.msi /qb -     yes FAILAFTERCHECK=1
run_case "no UILevel" NoUiLevel.msi   /qn -     no
run_side_by_side
echo "msi_case.sh: $((SECONDS - started)) s for the install and removal runs"

[ "$failures" = 0 ] || exit 1
