#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks that the example programs behave like command-line tools (the CTest
# test examples_cli runs it, in the Windows build under Wine):
#   - --help and -h print the usage on standard output and exit 0;
#   - a bad argument (a port that is no number, a connect string that cannot
#     be read, an unknown option, too many arguments) prints one line saying
#     what is wrong and the usage on standard error, and exits 2;
#   - brimsel-daemon listens on a host name (localhost), and brimsel-client
#     fed from a pipe prints every reply before it disconnects, then stops
#     the daemon with quit.
# Usage: check-examples.sh <daemon> <client> <demo> <tour> [emulator...]
set -u
[ "$#" -ge 4 ] || { echo "usage: check-examples.sh <daemon> <client> <demo> <tour> [emulator...]" >&2; exit 2; }
daemon=$1 client=$2 demo=$3 tour=$4
shift 4
tmp=$(mktemp -d)
daemon_pid=
trap '[ -n "$daemon_pid" ] && kill "$daemon_pid" 2>/dev/null; rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# run <program> <args...>: runs it (through the emulator, if any) with its
# output in $tmp/out and $tmp/err (carriage returns removed); sets $rc.
run() {
  "$@" </dev/null >"$tmp/out.raw" 2>"$tmp/err.raw"
  rc=$?
  tr -d '\r' <"$tmp/out.raw" >"$tmp/out"
  tr -d '\r' <"$tmp/err.raw" >"$tmp/err"
}

# expect_help [emulator...] <program>
expect_help() {
  for last; do :; done
  name=$(basename "$last" .exe)
  for option in --help -h; do
    run "$@" "$option"
    [ "$rc" -eq 0 ] || fail "$name $option exits $rc"
    grep -q "^usage: $name" "$tmp/out" || fail "$name $option prints no usage"
  done
}
# expect_refusal <what> <program> <args...>
expect_refusal() {
  what=$1
  shift
  run "$@"
  [ "$rc" -eq 2 ] || fail "$what: exit status $rc, not 2"
  [ "$(sed -n 2p "$tmp/err" | cut -c1-6)" = "usage:" ] && [ "$(wc -l <"$tmp/out")" -eq 0 ] \
    || fail "$what: not one line and the usage on stderr: $(cat "$tmp/err" "$tmp/out")"
  echo "ok: $what: $(head -n 1 "$tmp/err")"
}

for program in "$daemon" "$client" "$demo" "$tour"; do
  expect_help "$@" "$program"
done
expect_refusal "daemon with a port that is no number" "$@" "$daemon" seven
expect_refusal "daemon with a port out of range" "$@" "$daemon" 70000
expect_refusal "daemon with an unknown option" "$@" "$daemon" --verbose
expect_refusal "daemon with too many arguments" "$@" "$daemon" 7000 127.0.0.1 extra
expect_refusal "client without a connect string" "$@" "$client"
expect_refusal "client with an unreadable connect string" "$@" "$client" 127.0.0.1:7000
expect_refusal "client with an unknown option" "$@" "$client" --verbose
expect_refusal "demo with an unknown option" "$@" "$demo" --verbose
expect_refusal "tour with an unknown argument" "$@" "$tour" extra

# The daemon on a host name and a free port; the client fed from a pipe.
"$@" "$daemon" 0 localhost >"$tmp/daemon.out" 2>&1 &
daemon_pid=$!
port=
for _ in $(seq 1 100); do
  port=$(tr -d '\r' <"$tmp/daemon.out" | sed -n 's/^listening on localhost:\([0-9]*\) .*/\1/p')
  [ -n "$port" ] && break
  kill -0 "$daemon_pid" 2>/dev/null || break
  sleep 0.2
done
if [ -z "$port" ]; then
  fail "the daemon did not listen on localhost: $(cat "$tmp/daemon.out")"
else
  echo "ok: the daemon listens on localhost:$port"
  printf 'hello\nping\n%s\n' "three words here" | "$@" "$client" "daemon://localhost:$port" >"$tmp/out.raw" 2>"$tmp/err"
  rc=$?
  tr -d '\r' <"$tmp/out.raw" >"$tmp/out"
  [ "$rc" -eq 0 ] || fail "the client fed from a pipe exits $rc: $(cat "$tmp/err")"
  printf '< hello\n< pong\n< three words here\n' | cmp -s - "$tmp/out" \
    || fail "the client fed from a pipe printed: $(cat "$tmp/out")"
  [ "$failures" -eq 0 ] && echo "ok: the client fed from a pipe printed every reply"
  printf 'quit\n' | "$@" "$client" "daemon://127.0.0.1:$port" >"$tmp/out.raw" 2>"$tmp/err"
  tr -d '\r' <"$tmp/out.raw" | grep -q '^< bye$' || fail "quit was not answered: $(cat "$tmp/out.raw")"
  for _ in $(seq 1 50); do
    kill -0 "$daemon_pid" 2>/dev/null || break
    sleep 0.2
  done
  if kill -0 "$daemon_pid" 2>/dev/null; then
    fail "the daemon did not end after quit"
  else
    wait "$daemon_pid" || fail "the daemon exited $? after quit"
    daemon_pid=
    echo "ok: the daemon ended after quit"
  fi
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) of the example programs failed"; exit 1; }
echo "the example programs behave as command-line tools"
