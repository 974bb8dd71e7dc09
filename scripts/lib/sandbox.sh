# Sourced with a sandbox folder as $1 by every Linux-side driver of a Wine
# program (the tests' drivers, the demo, the benchmark, ctest-in-sandbox):
# the sandboxed prefix's environment (scripts/wine-sandbox, which makes the
# prefix on first use) and what the drivers do around a Wine program.
#
#   $drive_c $profile $roaming $documents  the prefix user's folders, as Linux
#                                          paths (the profile is the one user
#                                          folder beside Public, whatever its
#                                          name)
#   windows_path PATH           C:\... for a path on drive C:
#   require_test_sandbox WHO    fails unless this is a build tree's "sandbox"
#   run_wine PROGRAM [ARGS...]  a Windows program, started in the scratch drive T:
#   sandbox_warm_up             keeps one wineserver and starts Wine's services
#                               and desktop now, outside any timed or piped run;
#                               sandbox_end_server ends them
#   within SECONDS COMMAND...   true when COMMAND succeeds within SECONDS
#   ended PID, gone PATH        conditions for within
#   prefix_processes TEXT       ids of this prefix's processes whose command
#                               line holds TEXT
#   make_entries <<TABLE        folders, files, links and hard links from a table
#   digest PATH...              what a test must not change, to compare
. "$(dirname "${BASH_SOURCE[0]}")/../wine-sandbox" "$1"

drive_c=$WINEPREFIX/drive_c
# The user folder Wine made, found as it is rather than by a user name: a
# test may have moved its AppData or Documents aside.
fullcheck_profiles=()
for fullcheck_folder in "$drive_c"/users/*/; do
  [ -d "$fullcheck_folder" ] && [ "$fullcheck_folder" != "$drive_c/users/Public/" ] &&
    fullcheck_profiles+=("${fullcheck_folder%/}")
done
if [ ${#fullcheck_profiles[@]} -ne 1 ]; then
  echo "sandbox: expected one user profile beside Public in $drive_c/users" >&2
  return 1 2>/dev/null || exit 1
fi
profile=${fullcheck_profiles[0]}
roaming=$profile/AppData/Roaming
documents=$profile/Documents
unset fullcheck_profiles fullcheck_folder

windows_path() {
  local path=${1#"$drive_c"}
  path=${path//\//\\}
  echo "C:$path"
}

# Drivers that delete or move user folders run only in a build tree's test
# sandbox, never in a prefix of another name.
require_test_sandbox() {
  if [ "$(basename "$sandbox")" != sandbox ] || [ ! -d "$profile" ]; then
    echo "$1: $sandbox is no sandbox with a profile folder" >&2
    exit 1
  fi
}

# exec, so that a run started in the background is Wine's own process.
# sandbox_wine: how to start Wine (the demo's runs in German).
sandbox_wine=(wine)
run_wine() { (cd "$FULLCHECK_SCRATCH" && exec "${sandbox_wine[@]}" "$@") </dev/null; }

# Wine's service processes and the desktop process start with the first
# program and outlive it: started here, they hold no later program's output
# pipe open (CTest would wait for them to close it) and cost no timed run.
sandbox_warm_up() {
  wineserver -p 2>/dev/null || true # already running for this prefix: use it
  run_wine rundll32.exe user32.dll,GetDesktopWindow >/dev/null 2>&1 || true
}
sandbox_end_server() { wineserver -k 2>/dev/null || true; }

within() {
  local tenths=$(($1 * 10))
  shift
  until "$@"; do
    [ "$tenths" -gt 0 ] || return 1
    sleep 0.1
    tenths=$((tenths - 1))
  done
}
gone() { [ ! -e "$1" ] && [ ! -L "$1" ]; }
ended() { ! kill -0 "$1" 2>/dev/null; }

# Read with bash alone: a minimal root may have no pgrep.
prefix_processes() {
  local process words
  for process in /proc/[0-9]*; do
    { mapfile -d '' words <"$process/cmdline"; } 2>/dev/null || continue
    [[ "${words[*]}" == *"$1"* ]] || continue
    { mapfile -d '' words <"$process/environ"; } 2>/dev/null || continue
    [[ " ${words[*]} " != *" WINEPREFIX=$WINEPREFIX "* ]] || echo "${process#/proc/}"
  done
}

# make_entries: one entry a line from standard input, "KIND | PATH | WHAT",
# parent folders made as needed; blank lines and lines starting with # are
# passed over:
#   dir  | PATH
#   file | PATH | TEXT     a file holding TEXT and a newline
#   link | PATH | TARGET   a symbolic link (TARGET as written: relative ones stay so)
#   hard | PATH | TARGET   a second name of the file TARGET
# Wine makes no file-system links, so tests make them here.
make_entries() {
  local kind path what
  while IFS='|' read -r kind path what; do
    kind=$(echo $kind) # trimmed
    [ -n "$kind" ] && [ "${kind:0:1}" != "#" ] || continue
    path=${path#"${path%%[![:space:]]*}"} path=${path%"${path##*[![:space:]]}"}
    what=${what#"${what%%[![:space:]]*}"} what=${what%"${what##*[![:space:]]}"}
    [ "$kind" = dir ] || mkdir -p -- "$(dirname -- "$path")"
    case "$kind" in
      dir) mkdir -p -- "$path" ;;
      file) printf '%s\n' "$what" >"$path" ;;
      link) ln -s -- "$what" "$path" ;;
      hard) ln -- "$what" "$path" ;;
      *) echo "make_entries: no kind $kind" >&2; return 1 ;;
    esac
  done
}

# Every file below the paths named with its content's digest, every link with
# its text, and every path that is missing, sorted: two digests differ when
# anything there was changed, added or removed.
digest() {
  local path
  for path in "$@"; do
    if [ -e "$path" ] || [ -L "$path" ]; then
      find "$path" \( -type f -exec md5sum {} + \) -o \( -type l -printf 'link %p -> %l\n' \)
    else
      echo "missing $path"
    fi
  done | LC_ALL=C sort
}
