#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the simulated encoder need.
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools qt6-webengine-dev libgl-dev
          libxcb1-dev                                   # the embedded browser hands back the keyboard
          xvfb xauth xdotool                            # xdotool: keys typed into the embedded page
          weston qt6-wayland                            # the windows under a Wayland compositor
          libudev-dev libcli11-dev nlohmann-json3-dev   # port discovery, quillmark-cli
          libfontconfig-dev                             # the font set is read while starting
          libv4l-dev                                    # libv4l2rds judges the RDS groups
          ser2net ansible-core locales bash-completion  # network, fleet, locale, completion tests
          dpkg-dev file desktop-file-utils appstream lintian) # the Debian package, its checks
if [ "${QUILLMARK_BENCH:-0}" = 1 ]; then
    packages+=(libserialport-dev qt6-serialport-dev)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# tools/test.sh runs the tests once more in Spanish, a likely language of the users.
if ! locale -a | grep -qix 'es_ES\.utf-\?8'; then
    grep -qx 'es_ES.UTF-8 UTF-8' /etc/locale.gen ||
        echo 'es_ES.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
fi
