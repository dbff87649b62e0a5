#!/bin/sh
# Installs the Debian packages that the build, the tests and the demo need.
# Idempotent: when everything is present it only checks and returns.
set -eu
PACKAGES="build-essential cmake pkg-config libsqlite3-dev sqlite3 libcjson-dev libmicrohttpd-dev \
liblog4cplus-dev libconfig++-dev libgtest-dev googletest curl clang libclang-rt-dev"
missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
