#!/usr/bin/env bash
# Checks the formatting of every C++ file and runs clang-tidy (checks in .clang-tidy) on every
# translation unit of a configured build: ./tools/check-style.sh BUILD_DIR [JOBS].
# Exits non-zero on any finding.
set -euo pipefail
cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.."
build=${1:?usage: check-style.sh BUILD_DIR [JOBS]}
jobs=${2:-2}
status=0

echo "-- clang-format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror || status=1

echo "-- clang-tidy"
# Our translation units only: Qt's generated moc and resource files are not ours to fix.
python3 - "$build/compile_commands.json" >"$build/tidy-files.txt" <<'PY'
import json, os, sys
root = os.getcwd() + "/"
seen = set()
for entry in json.load(open(sys.argv[1])):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    if path.startswith(root) and "_autogen" not in path and not path.startswith(root + "build"):
        seen.add(path)
print("\n".join(sorted(seen)))
PY
started=$SECONDS
xargs -a "$build/tidy-files.txt" -P "$jobs" -n 4 \
    clang-tidy -p "$build" --quiet --warnings-as-errors='*' 2>/dev/null || status=1
echo "clang-tidy: $(wc -l <"$build/tidy-files.txt") files in $((SECONDS - started)) s"
exit "$status"
