#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# scripts/spdx on a repository of its own: which files get the identifier,
# where it goes, that a second run changes nothing, and --check and --exclude.
set -euo pipefail
spdx=$(cd "$(dirname "$0")/../.." && pwd)/scripts/spdx
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "spdx_test: $*" >&2
  exit 1
}
repo=$work/repo
mkdir -p "$repo/scripts" "$repo/src" "$repo/other" "$repo/tests/fuzz/corpus/x"
cp "$spdx" "$repo/scripts/spdx"
cd "$repo"
git init -q .
printf '// a source\nint x;\n' >src/a.cpp
printf '#pragma once\n' >src/a.h
printf '/* a C header */\n' >src/c.h
printf '#!/bin/sh\necho hi\n' >src/tool
printf '#!/usr/bin/env python3\nprint(1)\n' >src/tool.py
printf 'add_library(a a.cpp)\n' >src/CMakeLists.txt
printf 'all:\n\ttrue\n' >src/Makefile
printf 'data, not code\n' >src/messages.txt
printf '#!not really\n' >tests/fuzz/corpus/x/seed0
printf '# SPDX-License-Identifier: MIT\nx = 1\n' >src/own.py
printf 'int y;\n' >other/b.cpp
printf 'int z;\n' >src/untracked.cpp
git add src other tests scripts/spdx
git rm -q --cached src/untracked.cpp

out=$(scripts/spdx --check 2>/dev/null) && fail "--check passed with files lacking the line"
want=$'other/b.cpp\nsrc/CMakeLists.txt\nsrc/Makefile\nsrc/a.cpp\nsrc/a.h\nsrc/c.h\nsrc/tool\nsrc/tool.py'
[ "$(sort <<<"$out")" = "$want" ] || fail "--check listed: $out"
[ "$(head -c 6 src/a.cpp)" = "// a s" ] || fail "--check changed a file"

scripts/spdx --exclude other >/dev/null
[ "$(cat other/b.cpp)" = "int y;" ] || fail "an excluded folder was changed"
[ "$(cat src/a.cpp)" = $'// SPDX-License-Identifier: Apache-2.0\n// a source\nint x;' ] ||
  fail "C++ file: $(cat src/a.cpp)"
[ "$(cat src/c.h)" = $'/* SPDX-License-Identifier: Apache-2.0 */\n/* a C header */' ] ||
  fail "C header: $(cat src/c.h)"
[ "$(cat src/tool)" = $'#!/bin/sh\n# SPDX-License-Identifier: Apache-2.0\necho hi' ] ||
  fail "script: $(cat src/tool)"
[ "$(sed -n 2p src/tool.py)" = "# SPDX-License-Identifier: Apache-2.0" ] || fail "python file"
[ "$(head -n1 src/Makefile)" = "# SPDX-License-Identifier: Apache-2.0" ] || fail "Makefile"
for kept in src/messages.txt tests/fuzz/corpus/x/seed0 src/own.py src/untracked.cpp; do
  git diff --quiet -- "$kept" 2>/dev/null || fail "$kept was changed"
done
grep -q SPDX src/untracked.cpp && fail "an untracked file was changed"
grep -c SPDX src/own.py | grep -qx 1 || fail "a file with its own identifier got a second"

[ "$(scripts/spdx --check other 2>/dev/null)" = "other/b.cpp" ] || fail "--check of a folder"
scripts/spdx >/dev/null
before=$(git diff | sha1sum)
[ -z "$(scripts/spdx)" ] || fail "a second run found files to change"
[ "$(git diff | sha1sum)" = "$before" ] || fail "a second run changed files"
scripts/spdx --check >/dev/null || fail "--check failed after the lines were added"
echo "spdx_test: ok"
