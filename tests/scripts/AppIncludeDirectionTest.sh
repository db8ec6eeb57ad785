#!/usr/bin/env bash
# The program's lower areas include nothing of the areas built on them: the services none but
# their own headers, the sign-on client and the shell (which the library, reader and store
# screens stand on) only their own, the services' and, for the shell, the sign-on client's.
# Names and seams that both sides need live in the services. The scan is tried first on a folder
# holding one upward include, and on a folder that is not there, so that a scan that finds
# nothing cannot pass for a clean program.
#   tests/scripts/AppIncludeDirectionTest.sh <repository folder>
set -euo pipefail
app="$1/src/app"

# upward_includes <app folder> <area> <areas it may include...>: prints each include of the
# area's sources that names another area; fails when the area's folder cannot be scanned.
upward_includes() {
  local root="$1" area="$2"; shift 2
  local allowed=" $* " line included found status=0
  if [ ! -d "$root/$area" ]; then
    echo "no folder $root/$area to scan" >&2
    return 2
  fi
  found="$(grep -rn --include='*.h' --include='*.cpp' '#include "app/' "$root/$area")" ||
    status=$?
  # grep: 1 is "no include of the program's areas at all", anything more an error.
  if [ "$status" -gt 1 ]; then
    echo "cannot scan $root/$area" >&2
    return 2
  fi
  while IFS= read -r line; do
    [ -n "$line" ] || continue
    included="${line#*\#include \"app/}"
    included="${included%%/*}"
    if [[ "$allowed" != *" $included "* ]]; then
      echo "upward include: $line"
    fi
  done <<<"$found"
}

fixture="$(mktemp -d)"
trap 'rm -rf "$fixture"' EXIT
mkdir -p "$fixture/signon"
cat >"$fixture/signon/Sample.cpp" <<'CPP'
#include "app/signon/Sample.h"
#include "app/services/GlobalService.h"
#include "app/reader/ReaderViewController.h"
CPP
sample="$(upward_includes "$fixture" signon signon services)"
if [ "$sample" != "upward include: $fixture/signon/Sample.cpp:3:#include \"app/reader/ReaderViewController.h\"" ]; then
  echo "the scan did not find exactly the one upward include of $fixture/signon/Sample.cpp:" >&2
  echo "$sample" >&2
  exit 1
fi
if upward_includes "$fixture" missing missing >/dev/null 2>&1; then
  echo "the scan passed a folder that is not there" >&2
  exit 1
fi

failed=0
check() {
  local found
  found="$(upward_includes "$app" "$@")"
  if [ -n "$found" ]; then
    echo "$found"
    failed=1
  fi
}
check services services
check signon signon services common
check shell shell services signon common
[ "$failed" -eq 0 ] && echo "every include runs downward"
[ "$failed" -eq 0 ]
