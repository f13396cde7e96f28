#!/usr/bin/env bash
# Runs a command of the page's tests with playwright-core, as
# tests/web/package-lock.json pins it, installed by npm ci into the build
# tree's DIR (once; never in the sources) and found through NODE_PATH. Exits
# 77 (skipped), naming the packages, where node, npm or Debian's Chromium is
# missing.
#   with_modules.sh DIR COMMAND [ARGUMENT...]
set -eu
dir=$1 source=$(dirname "$0") missing=()
shift
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
[ -x /usr/bin/chromium ] || missing+=(chromium)
if [ ${#missing[@]} -gt 0 ]; then
    echo "skipped: the page's tests need ${missing[*]} (apt-get install ${missing[*]})"
    exit 77
fi
mkdir -p "$dir"
# One install at a time: the page's test and the device lab's may start together.
(
    flock 9
    if ! cmp -s "$source/package-lock.json" "$dir/package-lock.json" || [ ! -d "$dir/node_modules/playwright-core" ]; then
        cp "$source/package.json" "$source/package-lock.json" "$dir/"
        npm ci --prefix "$dir" --no-audit --no-fund --loglevel=error
    fi
) 9>"$dir/.lock"
NODE_PATH=$dir/node_modules exec "$@"
