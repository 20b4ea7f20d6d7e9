#!/usr/bin/env bash
# Installs what the fuzz build needs beyond the station's own packages: clang 14
# and its sanitizer and libFuzzer runtimes, from Debian. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/../.."

./scripts/install-deps.sh

PACKAGES=(clang-14 libclang-rt-14-dev)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
