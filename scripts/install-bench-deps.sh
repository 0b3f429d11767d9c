#!/usr/bin/env bash
# What `make bench` needs beyond the build: numpy, the peer the expression
# evaluator is measured against. Not needed by `make test`.
set -euo pipefail
dpkg-query -W -f='${Status}' python3-numpy 2>/dev/null | grep -q "install ok installed" && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends python3-numpy
