#!/usr/bin/env bash
# Installs what is missing, builds Zandrel and starts it. Arguments go to the program
# (for example --server whois.example.net:43).
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target zandrel
exec ./build/release/src/zandrel "$@"
