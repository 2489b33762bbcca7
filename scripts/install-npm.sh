#!/usr/bin/env bash
# Installs the npm packages of the browser tests (tests/simhost/live/page) from their lock file, when missing.
set -euo pipefail
cd "$(dirname "$0")/../tests/simhost/live/page"
if [ -f node_modules/playwright-core/package.json ] &&
   node -e 'const want = require("./package-lock.json").packages["node_modules/playwright-core"].version;
            process.exit(require("playwright-core/package.json").version === want ? 0 : 1)'; then
  exit 0
fi
npm ci --no-audit --no-fund
