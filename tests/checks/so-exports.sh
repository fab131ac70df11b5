#!/usr/bin/env bash
# The shared library exports CreatePlugin alone; the engine's names stay inside it.
#   tests/checks/so-exports.sh PRESET
set -euo pipefail
so="build/$1/bin/libLoginPlugin.so"
[ -f "$so" ] || { echo "$so is missing"; exit 1; }
exports="$(nm -D --defined-only "$so" | awk '{print $NF}')"
echo "exports: $(tr '\n' ' ' <<<"$exports")"
[ "$exports" = CreatePlugin ] || { echo "$so exports more than CreatePlugin"; exit 1; }
# The settings dialog runs in a program of its own: no toolkit enters the host's process.
if objdump -p "$so" | grep -E 'NEEDED.*(gtk|gdk|glib|gobject)'; then
  echo "$so links a toolkit"
  exit 1
fi
