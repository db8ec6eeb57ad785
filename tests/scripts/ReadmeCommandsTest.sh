#!/usr/bin/env bash
# The README's two set-up commands work as written for a user who is root without sudo: neither
# starts with sudo. A user who is neither root nor has sudo, on a machine missing a package, gets
# one sentence naming it and a failure, before anything is built.
#   tests/scripts/ReadmeCommandsTest.sh <repository folder>
set -uo pipefail
repo="$1"
passed=0
failed=0
check() {  # check <description> <command...>
  local what="$1"; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $what"; fi
}

# The indented command lines of the set-up section, as a user would copy them.
mapfile -t commands < <(sed -n '/^## Set-up/,/^## /p' "$repo/README.md" | grep -E '^    \S')
check "two commands in the README" test "${#commands[@]}" -eq 2
for c in "${commands[@]}"; do
  check "'$c' does not start with sudo" bash -c '[[ ! "$1" =~ ^[[:space:]]*sudo[[:space:]] ]]' _ "$c"
  check "'$c' names a script that exists" test -x "$repo/$(echo $c | cut -d' ' -f1)"
done

# A machine without sudo where the user is not root and one package is missing.
stubs="$(mktemp -d)"
trap 'rm -rf "$stubs"' EXIT
for tool in bash grep cat dirname sed cut mktemp; do ln -s "$(command -v "$tool")" "$stubs/$tool"; done
printf '#!%s\necho 1000\n' "$(command -v bash)" > "$stubs/id"
printf '#!%s\n[ "${@: -1}" = cmake ] && exit 1\necho "install ok installed"\n' "$(command -v bash)" \
  > "$stubs/dpkg-query"
printf '#!%s\necho "apt-get must not run" >&2\nexit 3\n' "$(command -v bash)" > "$stubs/apt-get"
chmod +x "$stubs/id" "$stubs/dpkg-query" "$stubs/apt-get"
output="$(PATH="$stubs" "$repo/scripts/test.sh" 2>&1)"
status=$?
check "test.sh fails without root and sudo" test "$status" -ne 0
check "one line of output" test "$(printf '%s\n' "$output" | wc -l)" -eq 1
check "the sentence names the missing package" grep -q "Missing Debian packages (cmake)" <<<"$output"
check "apt-get is not run" bash -c '! grep -q "must not run" <<<"$1"' _ "$output"
[ "$failed" -eq 0 ] || echo "$output"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
