#!/usr/bin/env bash
# Installs dependencies, builds the release engine and starts the bundled demo game.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh release
exec build/release/zel "$@"
