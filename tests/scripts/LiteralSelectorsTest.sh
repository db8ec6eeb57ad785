#!/usr/bin/env bash
# No message of the program is sent by a literal selector: every send names a declared
# plat::Message. The scan is tried first on a folder holding one such send, so that a scan that
# finds nothing cannot pass for a clean program.
#   tests/scripts/LiteralSelectorsTest.sh <source folder>
set -euo pipefail
source_dir="$1"
scan="$source_dir/scripts/literal-selectors.py"
fixture="$(mktemp -d)"
trap 'rm -rf "$fixture"' EXIT

cat >"$fixture/Sender.cpp" <<'CPP'
// "looksLikeASend:" in a comment is not a send.
void Sender::closeClicked() {
    plat::sendIfResponds(delegate_, "settingViewClose:", self());
}
CPP
found="$(python3 "$scan" "$fixture")"
if [ "$(tail -n 1 <<<"$found")" != "1 literal-selector sends, 1 selectors" ]; then
  echo "the scan missed the one literal send of $fixture/Sender.cpp: $found" >&2
  exit 1
fi

found="$(python3 "$scan" --list "$source_dir/src")"
if [ "$(tail -n 1 <<<"$found")" != "0 literal-selector sends, 0 selectors" ]; then
  echo "sends by a literal selector (declare each message once with plat::Message):" >&2
  echo "$found" >&2
  exit 1
fi
echo "no literal-selector sends in $source_dir/src"
