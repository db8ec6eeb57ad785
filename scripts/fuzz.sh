#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh clang libclang-rt-14-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
seconds="${1:-60}"
mkdir -p build/fuzz/corpus/json
build/fuzz/fuzz/json_reader_fuzzer -max_total_time="$seconds" -max_len=4096 build/fuzz/corpus/json
mkdir -p build/fuzz/corpus/cjson
build/fuzz/fuzz/cjson_deserializer_fuzzer -max_total_time="$seconds" -max_len=4096 build/fuzz/corpus/cjson
mkdir -p build/fuzz/corpus/http
build/fuzz/fuzz/http_text_fuzzer -max_total_time="$seconds" -max_len=8192 build/fuzz/corpus/http
