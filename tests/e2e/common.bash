# Shared by the end-to-end scripts (sourced, not run by ctest): the build
# folder's programs, a work folder removed at the end (with the simulator
# stopped if one runs), and the pass and fail counters.
#
#   e2e_begin NAME BUILD_DIR PROGRAM...   checks each PROGRAM in BUILD_DIR

e2e_begin() {
  e2e_name=$1
  build=$2
  shift 2
  host="$build/morvane-host"
  gamesim="$build/morvane-gamesim"
  module_file="$build/Morvane.so"
  local program
  for program in "$@"; do
    [ -e "$build/$program" ] || { echo "$e2e_name: missing $build/$program (build the targets first)"; exit 1; }
  done
  work=$(mktemp -d)
  sim_pid=
  trap e2e_cleanup EXIT
  passed=0
  failed=0
}

e2e_cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  rm -rf "$work"
}

fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
pass() { passed=$((passed + 1)); }
