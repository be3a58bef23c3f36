#!/usr/bin/env bash
# Installs every Debian package Corvala needs to build, run and test; installs only what is missing.
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake pkg-config clang clang-format clang-tidy libclang-rt-14-dev python3
  libgtest-dev libgmock-dev libssl-dev zlib1g-dev libjpeg-dev libpng-dev
  qt6-base-dev qt6-webengine-dev libgl-dev
  # the server stack the kit assembles
  apache2 libapache2-mod-php php-mysql php-sqlite3 php-gd php-mbstring php-curl
  php-xml php-intl php-zip php-bcmath php8.2-opcache
  # the debugger the Server Settings can turn on, and Composer for the Terminal
  php-xdebug composer
  mariadb-server-core mariadb-client-core
  # the stack's command line: PHP's interpreter, MariaDB's client (core) and dump tool (client)
  php8.2-cli mariadb-client
  # carrying the tree's libraries, and the minimal Debian root the tests run it in
  patchelf debootstrap
  # phpMyAdmin's files only: no database or web server of the system is configured for it
  phpmyadmin dbconfig-no-thanks
  # display, window manager and tray for the GUI tests and the demo
  xvfb dbus-daemon xdotool openbox trayer imagemagick x11-utils
  # the WordPress benchmarks' application, from Debian's archive
  wordpress wordpress-theme-twentytwentythree
  # tools the tests and benchmarks use (desktop-file-validate checks the applications menu entry)
  curl procps psmisc sudo desktop-file-utils
  # pdftotext reads back the text of the PDF files the print tests write
  poppler-utils
  # xclip reads back what the Logs window's test copies from a log
  xclip
  # the checks beside the tests (scripts/check.sh)
  shellcheck
)

missing=()
for package in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
$SUDO apt-get update -qq
echo "phpmyadmin phpmyadmin/dbconfig-install boolean false
phpmyadmin phpmyadmin/reconfigure-webserver multiselect" | $SUDO debconf-set-selections
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
