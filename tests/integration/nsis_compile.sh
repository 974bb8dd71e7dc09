#!/usr/bin/env bash
# nsis_compile.sh WORK_DIR: compiles nsis_names.nsi with the include in every
# combination an uninstaller may be in (Unicode or not, Modern UI or not);
# each must compile without a warning.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$1
mkdir -p "$work"
failures=0
for variant in "unicode mui" "unicode plain" "ansi mui" "ansi plain"; do
  read -r charset ui <<<"$variant"
  flags=(-V2 -WX "-X!addincludedir $root/integration/nsis" -DOUTFILE="$work/names-$charset-$ui.exe")
  [ "$charset" = ansi ] && flags+=(-DANSI)
  [ "$ui" = mui ] && flags+=(-DMUI)
  if makensis "${flags[@]}" "$here/nsis_names.nsi"; then
    echo "$charset, $ui: compiles"
  else
    echo "FAILED: $charset, $ui does not compile cleanly"
    failures=$((failures + 1))
  fi
done
[ "$failures" = 0 ]
