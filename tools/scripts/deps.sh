#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# only those that are missing. Works as root (no sudo needed) or with sudo.
# Package names hold across Debian releases; the one that follows the
# release (the clang runtime of the fuzzers) is found from the clang that is
# installed.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libfreetype-dev fonts-dejavu-core fonts-dejavu-extra libpng-dev libgif-dev libsdl2-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  fonts-wqy-microhei
  libtesseract-dev tesseract-ocr tesseract-ocr-osd
  tesseract-ocr-eng tesseract-ocr-deu tesseract-ocr-fra tesseract-ocr-ita
  tesseract-ocr-spa tesseract-ocr-por tesseract-ocr-rus tesseract-ocr-ukr
  tesseract-ocr-kor tesseract-ocr-chi-sim tesseract-ocr-chi-tra
  libgtest-dev libgmock-dev libbenchmark-dev
  libjpeg-dev libjpeg-turbo-progs libimage-exiftool-perl exiv2
  ffmpeg
  clang python3 python3-vobject xvfb
)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"
}

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  sudo=(false)
fi
updated=0

# Installs the missing ones of the packages named, or says which are missing
# and why it cannot install them.
install() {
  local missing=() p
  for p in "$@"; do
    installed "$p" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "${sudo[*]}" = false ]; then
    echo "deps.sh: missing packages, and neither root nor sudo to install them: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  if [ $updated -eq 0 ]; then
    "${sudo[@]}" apt-get update -qq
    updated=1
  fi
  local unknown=()
  for p in "${missing[@]}"; do
    apt-cache show "$p" >/dev/null 2>&1 || unknown+=("$p")
  done
  if [ ${#unknown[@]} -gt 0 ]; then
    echo "deps.sh: this system's package sources have no package named: ${unknown[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  if ! "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    echo "deps.sh: apt-get could not install: ${missing[*]}" >&2
    exit 1
  fi
}

install "${packages[@]}"

# The sanitizer and fuzzer runtime of the installed clang: its own package
# from clang 14 on, part of libclang-common before.
version=$(clang -dumpversion 2>/dev/null | cut -d. -f1)
if [ -z "$version" ]; then
  echo "deps.sh: clang is installed but does not report its version" >&2
  exit 1
fi
runtime=libclang-rt-$version-dev
if ! installed "$runtime" && ! apt-cache show "$runtime" >/dev/null 2>&1; then
  runtime=libclang-common-$version-dev
fi
install "$runtime"
