#!/usr/bin/env bash
# The Minecraft Java kinds against a server none of us wrote: minecraft-protocol's
# own server (tests/e2e/node/mc_server.mjs) on 127.0.0.1. The console host
# asks the module for its summary and its player sample, with the default
# settings and with each query sent once, and checks each reply line exactly.
# Skips when Node.js or the packages of tests/e2e/node are missing
# (scripts/install-deps native installs them).
# Usage: minecraft_peer.sh BUILD_DIR (builds nothing).
set -u

source "$(dirname "$0")/common.bash"
e2e_begin minecraft_peer "${1:?usage: minecraft_peer.sh BUILD_DIR}" morvane-host Morvane.so
e2e_need_node_peers minecraft-protocol
e2e_start_mc_peer
peer=$mc_peer

mkdir "$work/module"
cp "$module_file" "$work/module/Morvane.so"
ask() {
  printf '\xFF\xFE' >"$work/module/Morvane.ini"
  printf '%s' $'[Main]\r
Format=%name% | %map% | %pl%/%plmax% | %mod% | %pass% | %addr%\r
PlFormat=%plname%\r
PlTitle=%addr% (%pl%):&&\r
PlDelimiter=;&&\r
OfflineFormat=%addr% offline\r
'"$1" | iconv -f UTF-8 -t UTF-16LE >>"$work/module/Morvane.ini"
  printf '@alice: /gs mc %s\n@alice: /gs mcpl %s\n!wait 5\n' "$peer" "$peer" >"$work/chat.txt"
  timeout 60 "$host" --module "$work/module/Morvane.so" --script "$work/chat.txt" \
    >"$work/chat.out" 2>"$work/chat.err"
  [ $? = 0 ] && pass || fail "the host's exit status is not 0 ($2)"
  local expected
  for expected in "Morvane peer | 1.21.1 | 2/50 | Minecraft |  | $peer" "$peer (2): Alex; Ника"; do
    if grep -qxF -- "[@alice] <host> $expected" "$work/chat.out"; then pass; else
      fail "no line \"[@alice] <host> $expected\" ($2)"
      sed 's/^/    /' "$work/chat.out"
    fi
  done
}
ask "" "defaults"
ask $'Parallel=1\r\nRetries=0\r\nRequests=1\r\n' "one query each"

echo "minecraft_peer: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
