#!/usr/bin/env bash
# Installs what is needed, builds the program and runs it against the demo library service.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh
cmake --preset release >/dev/null
cmake --build --preset release
if [ ! -x build/release/src/app/varnel ]; then
  echo "The application is not built yet: only the libraries, their tests and the demo library"
  echo "service exist so far (build/release/tools/demo-service/varnel-demo-service [--generate N] [port])."
  exit 0
fi
exec build/release/src/app/varnel "$@"
