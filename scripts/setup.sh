#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, if any is missing.
# As root it runs apt-get; otherwise it prints the exact command and stops.
set -euo pipefail

TW_PACKAGES=(cmake g++ make pkgconf qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev
             qt6-webengine-dev xvfb xauth dovecot-pop3d python3 python3-aiosmtpd openssl
             desktop-file-utils man-db)

missing=()
for p in "${TW_PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Tarnwick needs these Debian packages. Install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
