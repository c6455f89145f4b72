#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Presswick needs.
# Idempotent and quiet when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang clang-format libclang-rt-14-dev
  qt6-base-dev libqt6opengl6-dev libgl-dev qt6-svg-dev
  libcups2-dev libsane-dev zlib1g-dev libpng-dev libdeflate-dev libstb-dev
  nlohmann-json3-dev libpoppler-cpp-dev libseccomp-dev libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core adwaita-icon-theme libfreetype-dev libfontconfig-dev
  cups cups-client cups-bsd cups-ipp-utils cups-filters avahi-daemon avahi-utils dbus dbus-daemon
  sane-utils libsane1 tesseract-ocr tesseract-ocr-eng tesseract-ocr-deu
  qpdf poppler-utils img2pdf desktop-file-utils appstream xvfb xauth
  # Printer administration through polkit, and the desk sandbox that tests it.
  libsystemd-dev cups-pk-helper polkitd util-linux bsdutils passwd
  tesseract-ocr-fra tesseract-ocr-spa libglib2.0-bin debhelper lintian
  # scripts/fuzz.sh: the preview's fuzz target needs a clang that builds std::expected (16).
  clang-16 libclang-rt-16-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
