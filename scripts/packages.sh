# SPDX-License-Identifier: MIT
# Sourced by the scripts: installs Debian packages that are missing.
#
#   install_packages cmake g++ dovecot-pop3d wine32:i386 ...
#
# Runs as root or through sudo. Packages for i386 bring the architecture in
# first. While installing, policy-rc.d answers 101 so that no package starts
# its system daemon (Dovecot would take port 110): the tests and the demo run
# private servers of their own.
install_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "== installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  case " ${missing[*]}" in
    *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386 ;;
  esac
  local made_policy=no rc=0
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo tee /usr/sbin/policy-rc.d >/dev/null
    $sudo chmod 755 /usr/sbin/policy-rc.d
    made_policy=yes
  fi
  $sudo apt-get update -q || rc=$?
  [ "$rc" -ne 0 ] || DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}" || rc=$?
  [ "$made_policy" = no ] || $sudo rm -f /usr/sbin/policy-rc.d
  return "$rc"
}
