#!/bin/sh
# Installs what Quorvel needs to build, run and test on Debian (12 or later),
# skipping what is already there. Runs apt-get as root, through sudo when
# started by another user.
set -eu

PACKAGES="build-essential cmake pkg-config qt6-base-dev libgl-dev libsqlite3-dev sqlite3 \
fonts-ipafont-gothic libqt6sql6-odbc unixodbc unixodbc-dev odbcinst libsqliteodbc \
libbenchmark-dev clang-format libpcre2-dev libxcb1-dev xvfb openbox xdotool xclip x11-utils \
qt6-svg-dev file desktop-file-utils appstream man-db clang-14 libclang-rt-14-dev"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
    echo "Installing:$missing"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
fi
