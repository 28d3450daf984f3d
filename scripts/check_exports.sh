#!/usr/bin/env bash
# Checks that a shared library exports exactly the C functions its headers
# declare: scripts/check_exports.sh LIBRARY.so HEADER.h [HEADER.h...]
set -euo pipefail
library=$1
shift
declared=$(cat "$@" | grep -oE '^(void|int|int32_t|uint32_t|const char\*) +[A-Za-z_][A-Za-z0-9_]*\(' |
  sed -E 's/.* +([A-Za-z_][A-Za-z0-9_]*)\($/\1/' | sort)
exported=$(nm -D --defined-only "$library" | awk '{print $3}' | sort)
if [ "$declared" != "$exported" ]; then
  echo "$library exports other symbols than $* declare:"
  diff <(echo "$declared") <(echo "$exported") || true
  exit 1
fi
echo "$library exports the $(echo "$exported" | wc -l) functions of $*"
