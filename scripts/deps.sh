#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need, when any is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-declarative-dev qt6-multimedia-dev qt6-l10n-tools
    qt6-websockets-dev libqt6sql6-sqlite
    qml6-module-qtquick qml6-module-qtquick-window qml6-module-qtquick-layouts
    qml6-module-qtquick-controls qml6-module-qtquick-templates qml6-module-qtqml-workerscript
    qml6-module-qtmultimedia qml6-module-qttest
    libprotobuf-dev protobuf-compiler nlohmann-json3-dev libgl-dev
    xvfb xauth clang-14 libclang-rt-14-dev openssl doxygen
    fonts-dejavu-core libgl1-mesa-dri
    janus libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libgstreamer-plugins-bad1.0-dev
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-nice
    gstreamer1.0-tools qt6-websockets-dev qt6-charts-dev
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
