#!/usr/bin/env bash
# The program's lower areas include nothing of the areas built on them: the services none but
# their own headers, the sign-on client and the shell (which the library, reader and store
# screens stand on) only their own, the services' and, for the shell, the sign-on client's.
# Names and seams that both sides need live in the services.
#   tests/scripts/AppIncludeDirectionTest.sh <repository folder>
set -uo pipefail
app="$1/src/app"
failed=0
# includes_only <area> <areas it may include...>
includes_only() {
  local area="$1"; shift
  local allowed=" $* " line included
  while IFS= read -r line; do
    included="${line#*\#include \"app/}"
    included="${included%%/*}"
    if [[ "$allowed" != *" $included "* ]]; then
      echo "upward include: $line"
      failed=1
    fi
  done < <(grep -rn --include='*.h' --include='*.cpp' '#include "app/' "$app/$area")
}
includes_only services services
includes_only signon signon services common
includes_only shell shell services signon common
[ "$failed" -eq 0 ] && echo "every include runs downward"
[ "$failed" -eq 0 ]
