#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need.
# Idempotent and quick: it asks apt only when something is missing.
set -euo pipefail

packages=(
  g++ cmake make pkg-config clang-format
  libgtest-dev
  libsdl2-dev libx11-dev libxi-dev
  libgl-dev libglu1-mesa-dev libgl1-mesa-dri
  libpng-dev zlib1g-dev
  xvfb xauth xdotool xfonts-base
  zenity          # file dialogs, and message boxes where SDL finds no X core fonts
  clang libclang-rt-14-dev  # the fuzz targets (libFuzzer and the sanitizer runtimes)
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
