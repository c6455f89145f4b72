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
  # The window manager whose close (wmctrl -c) the desk checks use.
  openbox wmctrl
  # Printer administration through polkit, and the desk sandbox that tests it.
  libsystemd-dev cups-pk-helper polkitd util-linux bsdutils passwd
  tesseract-ocr-fra tesseract-ocr-spa libglib2.0-bin debhelper lintian
  # scripts/fuzz.sh: the preview's fuzz target needs a clang that builds std::expected (16).
  clang-16 libclang-rt-16-dev
  # The screen reader test: AT-SPI's bus and registry, and its Python client.
  at-spi2-core python3-pyatspi
  # Translations: the catalogue tools, Qt's own translated strings, and the locales the tests switch to.
  gettext locales qt6-translations-l10n
)

# The locales of the translated tests (German, French, Spanish), generated once.
locales=(de_DE.UTF-8 fr_FR.UTF-8 es_ES.UTF-8)
missing_locales() {
  local have
  have=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
  for l in "${locales[@]}"; do
    grep -qx "$(echo "$l" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')" <<<"$have" || echo "$l"
  done
}
generate_locales() {
  local wanted
  wanted=$(missing_locales)
  [ -z "$wanted" ] && return 0
  command -v locale-gen >/dev/null || return 0
  echo "Generating locales: $wanted"
  for l in $wanted; do
    grep -q "^$l UTF-8" /etc/locale.gen 2>/dev/null || echo "$l UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
  done
  $sudo locale-gen >/dev/null
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
if [ ${#missing[@]} -eq 0 ]; then
  generate_locales
  exit 0
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
generate_locales
