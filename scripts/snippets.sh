#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks that every code block of README.md that is marked
#   <!-- snippet: <file> <name> -->
# holds exactly the lines of <file> between its markers "[snippet:<name>]"
# and "[/snippet]" (comment lines of the file's own language). The quick tour
# comes from examples/tour.cpp, which the build runs as the test "tour", and
# the ways of consuming the library from tests/consumer, which
# scripts/check-consumers.sh builds: so every snippet of the README compiles
# and runs as printed. With --fix, rewrites the marked blocks of README.md
# from the files.
# Usage: scripts/snippets.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."
fix=0
[ "${1:-}" = "--fix" ] && fix=1
readme=README.md
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

awk -v tmp="$tmp" '
  # The lines of `file` between "[snippet:<name>]" and "[/snippet]".
  function region(file, name,   line, inside, out, found) {
    inside = 0; out = ""; found = 0
    while ((getline line < file) > 0) {
      if (inside && index(line, "[/snippet]")) { found = 1; break }
      if (inside) out = out line "\n"
      if (!inside && index(line, "[snippet:" name "]")) inside = 1
    }
    close(file)
    if (!found) { print "snippets: " file " has no region " name > "/dev/stderr"; failed = 1 }
    return out
  }
  state == 0 {
    print > (tmp "/README.md")
    if ($0 ~ /^<!-- snippet: [^ ]+ [^ ]+ -->$/) {
      n++; file = $3; name = $4
      expected = region(file, name)
      printf "%s", expected > (tmp "/" n ".expected"); close(tmp "/" n ".expected")
      print file " " name > (tmp "/" n ".name"); close(tmp "/" n ".name")
      state = 1
    }
    next
  }
  state == 1 {
    if ($0 !~ /^```/) { print "snippets: no code block after the marker of " file " " name > "/dev/stderr"; failed = 1 }
    print > (tmp "/README.md")
    block = ""; state = 2
    next
  }
  state == 2 {
    if ($0 == "```") {
      printf "%s", block > (tmp "/" n ".readme"); close(tmp "/" n ".readme")
      printf "%s", expected > (tmp "/README.md")
      print > (tmp "/README.md")
      state = 0
    } else {
      block = block $0 "\n"
    }
    next
  }
  END {
    if (state != 0) { print "snippets: a marked code block of README.md is not closed" > "/dev/stderr"; failed = 1 }
    print n + 0 > (tmp "/count")
    exit failed
  }
' "$readme"

count=$(cat "$tmp/count")
[ "$count" -gt 0 ] || { echo "snippets: $readme has no marked snippets" >&2; exit 1; }
if [ "$fix" -eq 1 ]; then
  cp "$tmp/README.md" "$readme"
  echo "snippets: rewrote the $count marked code blocks of $readme"
  exit 0
fi
differ=0
for i in $(seq 1 "$count"); do
  if ! diff -u --label "$readme: $(cat "$tmp/$i.name")" --label "the file's region" \
       "$tmp/$i.readme" "$tmp/$i.expected" >&2; then
    differ=$((differ + 1))
  fi
done
if [ "$differ" -gt 0 ]; then
  echo "snippets: $differ of $count code blocks of $readme differ from their files; scripts/snippets.sh --fix rewrites them" >&2
  exit 1
fi
echo "snippets: all $count marked code blocks of $readme match their files"
