#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian machine.
# Safe to run again: it does nothing when all is already in place.
set -euo pipefail

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

# fonts-wine: Wine's own fonts; the demo's prefix takes Marlett from it, which
# draws the title-bar buttons.
pkgs=(g++-mingw-w64-i686-win32 wine wine32:i386 wine64 xvfb xauth
      fonts-ipafont-gothic fonts-ipafont-mincho locales googletest
      fonts-wine mscompress liblnk-utils imagemagick x11-utils xdotool cmake make
      libz-mingw-w64-dev osslsigncode openssl)

missing=()
for p in "${pkgs[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The program runs on a Japanese prefix, and on an English and a Chinese one
# to prove it does not depend on the system's code page.
need_gen=0
for loc in ja_JP en_US zh_CN; do
    if ! locale -a 2>/dev/null | grep -qi "^${loc}.utf8$"; then
        $SUDO sed -i "s/^# *${loc}.UTF-8 UTF-8/${loc}.UTF-8 UTF-8/" /etc/locale.gen
        grep -q "^${loc}.UTF-8 UTF-8" /etc/locale.gen || echo "${loc}.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
        need_gen=1
    fi
done
[ "$need_gen" = 1 ] && $SUDO locale-gen >/dev/null
echo "machine set-up: done"
