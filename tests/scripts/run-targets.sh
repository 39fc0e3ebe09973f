#!/usr/bin/env bash
# scripts/run builds only what it starts: the program, and the simulated
# board for --demo. Runs a copy of the script against a cmake that records
# its arguments and stops at the build.
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/root/scripts" "$work/bin"
cp "$source_dir/scripts/run" "$work/root/scripts/run"
printf '#!/bin/sh\nexit 0\n' >"$work/root/scripts/install-deps.sh"
cat >"$work/bin/cmake" <<'FAKE'
#!/bin/sh
echo "$*" >>"$CMAKE_LOG"
[ "$1" = "--build" ] && exit 3
exit 0
FAKE
chmod +x "$work/bin/cmake"

built() { # the targets of the build step for these arguments
  export CMAKE_LOG="$work/log"
  : >"$CMAKE_LOG"
  PATH="$work/bin:$PATH" bash "$work/root/scripts/run" "$@" >/dev/null 2>&1 || true
  grep -- '^--build' "$CMAKE_LOG" | sed 's/.*--target //'
}
fail=0
[[ "$(built)" == "velotrix" ]] || { echo "plain run builds: $(built)"; fail=1; }
[[ "$(built --demo)" == "velotrix boardsim" ]] || { echo "--demo builds: $(built --demo)"; fail=1; }
exit $fail
