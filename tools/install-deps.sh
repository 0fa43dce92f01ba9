#!/usr/bin/env bash
# Installs, with apt only, whatever the build, the tests and the windows need
# and this machine lacks. Safe to run again: it does nothing when all is there.
#   tools/install-deps.sh           build and test dependencies
#   tools/install-deps.sh --peers   also the converters the peer benchmarks run
#                                   and the Japanese manual pages of the
#                                   detection benchmark
set -euo pipefail

packages=(
  g++ make cmake pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libqt6svg6
  qt6-translations-l10n fonts-ipafont-gothic
  xvfb xauth xdotool appstream
  python3 libc-bin
)
if [[ "${1:-}" == "--peers" ]]; then
  packages+=(nkf icu-devtools time hyperfine manpages-ja)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
