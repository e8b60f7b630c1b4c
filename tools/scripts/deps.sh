#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# only those that are missing. Works as root (no sudo needed) or with sudo.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libfreetype-dev fonts-dejavu-core fonts-dejavu-extra libpng-dev libsdl2-dev
  fonts-wqy-microhei
  libtesseract-dev tesseract-ocr tesseract-ocr-osd
  tesseract-ocr-eng tesseract-ocr-deu tesseract-ocr-fra tesseract-ocr-ita
  tesseract-ocr-spa tesseract-ocr-por tesseract-ocr-rus tesseract-ocr-ukr
  libgtest-dev libgmock-dev libbenchmark-dev
  libjpeg62-turbo-dev libjpeg-turbo-progs libimage-exiftool-perl exiv2
  clang libclang-rt-14-dev xvfb
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "deps.sh: missing packages and neither root nor sudo: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
