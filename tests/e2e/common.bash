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
  [ -n "${peer_pid:-}" ] && kill "$peer_pid" 2>/dev/null
  rm -rf "$work"
}

# The Node.js test peers of tests/e2e/node: e2e_need_node_peers PACKAGE...
# ends the script as skipped when Node.js or one of the packages is missing
# (scripts/install-deps native installs them); e2e_start_mc_peer starts
# minecraft-protocol's own server (mc_server.mjs) and sets mc_peer to its
# address. The peer runs until its standard input, a pipe held here, closes.
e2e_need_node_peers() {
  peers=$(cd "$(dirname "${BASH_SOURCE[0]}")/node" && pwd)
  local package missing=
  command -v node >/dev/null || missing=node
  for package in "$@"; do [ -d "$peers/node_modules/$package" ] || missing=$package; done
  [ -z "$missing" ] && return 0
  echo "$e2e_name: skipped: Node.js or the packages of $peers are missing (scripts/install-deps native)"
  echo "morvane-tests: skipped 1 test(s)"
  exit 0
}

e2e_start_mc_peer() {
  mkfifo "$work/peer.in"
  node "$peers/mc_server.mjs" <"$work/peer.in" >"$work/peer.out" 2>"$work/peer.err" &
  peer_pid=$!
  exec {peer_in}>"$work/peer.in"
  for _ in $(seq 300); do
    grep -qx ready "$work/peer.out" && break
    sleep 0.1
  done
  grep -qx ready "$work/peer.out" || { echo "$e2e_name: mc_server.mjs did not start: $(cat "$work/peer.err")"; exit 1; }
  local line
  line=$(head -1 "$work/peer.out")
  mc_peer=${line#* }
}

fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
pass() { passed=$((passed + 1)); }
