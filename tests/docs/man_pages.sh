#!/usr/bin/env bash
# The manual pages and --help say the same: every option one names, the
# other names too, for both programs.
# Usage: man_pages.sh BUILD_DIR SOURCE_DIR
set -u
build=${1:?usage: man_pages.sh BUILD_DIR SOURCE_DIR}
src=${2:?usage: man_pages.sh BUILD_DIR SOURCE_DIR}
failures=0
# options: the long options a text names, one a line, sorted.
options() { sed 's/\\-/-/g' | grep -o -- '--[a-z][a-z0-9-]*' | sort -u; }
compare() { # compare NAME PROGRAM MAN_PAGE
  local help man
  [ -x "$2" ] || { echo "SKIPPED: $2 is not built"; return; }
  help=$("$2" --help | options)
  man=$(options <"$3")
  if [ "$help" = "$man" ]; then
    echo "ok   $1: --help and the manual page name the same $(echo "$help" | wc -l) options"
  else
    echo "FAIL $1: only in --help: $(comm -23 <(echo "$help") <(echo "$man") | tr '\n' ' ')" \
      "only in the manual page: $(comm -13 <(echo "$help") <(echo "$man") | tr '\n' ' ')"
    failures=$((failures + 1))
  fi
}
compare quelma-render "$build/tools/quelma-render" "$src/dist/man/quelma-render.1"
compare quelma "$build/app/quelma" "$src/dist/man/quelma.1"
[ "$failures" -eq 0 ]
