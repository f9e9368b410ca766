#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz and runs them.
#   scripts/fuzz.sh                       every target, 60 seconds each
#   scripts/fuzz.sh machine_loader 600    one target, ten minutes
# New inputs collect in build-fuzz/fuzz/corpus/<target>, crashes in
# build-fuzz/fuzz/artifacts; copy the ones worth keeping into fuzz/corpus/<target>.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-all}
seconds=${2:-60}
bash scripts/deps.sh
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTAVRO_FUZZ=ON -DTAVRO_BUILD_TESTS=OFF -DTAVRO_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j2 --target tavro_fuzz
if [ "$target" = all ]; then
  targets=$(sed -n 's/^tavro_fuzz_target(\([A-Za-z0-9_]*\) .*/\1/p' fuzz/CMakeLists.txt)
else
  targets=$target
fi
for t in $targets; do
  [ -x "build-fuzz/bin/fuzz_$t" ] || { echo "no fuzz target '$t'" >&2; exit 2; }
  mkdir -p "build-fuzz/fuzz/corpus/$t" build-fuzz/fuzz/artifacts
  echo "== fuzz_$t for ${seconds}s"
  "build-fuzz/bin/fuzz_$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix="build-fuzz/fuzz/artifacts/$t-" "build-fuzz/fuzz/corpus/$t" "fuzz/corpus/$t"
done
