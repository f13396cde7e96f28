#!/usr/bin/env bash
# Runs a command of the page's tests with playwright-core, installed by npm ci
# from tests/web/package-lock.json into the build tree's DIR (once, one
# install at a time; never in the sources), found through NODE_PATH. Exits 77
# (skipped), naming the packages, where node, npm or Chromium is missing.
#   with_modules.sh DIR COMMAND [ARGUMENT...]
set -eu
dir=$1 source=$(dirname "$0") missing=()
shift
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
command -v chromium >/dev/null || missing+=(chromium)
if [ ${#missing[@]} -gt 0 ]; then
    echo "skipped: the page's tests need ${missing[*]} (apt-get install ${missing[*]})"
    exit 77
fi
mkdir -p "$dir"
exec 9>"$dir/.lock"
flock 9
if ! cmp -s "$source/package-lock.json" "$dir/installed-lock.json"; then
    cp "$source/package.json" "$source/package-lock.json" "$dir/"
    npm ci --prefix "$dir" --no-audit --no-fund --loglevel=error
    cp "$source/package-lock.json" "$dir/installed-lock.json"
fi
flock -u 9
NODE_PATH=$dir/node_modules exec "$@"
