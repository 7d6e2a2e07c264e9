#!/usr/bin/env bash
# Builds everything and opens what exists of the product.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
echo "run: the build is ready in build/; the host and server are being written."
