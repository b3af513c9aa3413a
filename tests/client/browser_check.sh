#!/usr/bin/env bash
# The client view's page in a real browser (headless Chromium): with the key it shows the
# pictures, newest first; without it, nothing but the request for the key.
# Usage: browser_check.sh <client_serve program>. Skips (exit 77) when chromium is not installed.
set -euo pipefail
serve=$1
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "SKIP: chromium is not installed (scripts/deps --browser installs it)"
  exit 77
fi
scratch=$(mktemp -d)
trap 'kill "$server" 2>/dev/null || true; rm -rf "$scratch"' EXIT
mkdir "$scratch/captures"
key=0123456789abcdef0123456789abcdef
port=$((20000 + RANDOM % 20000))
mkfifo "$scratch/in"
"$serve" "$scratch/captures" "$port" 3 "$key" < "$scratch/in" > "$scratch/out" &
server=$!
exec 3> "$scratch/in"
for _ in $(seq 50); do grep -q ready "$scratch/out" && break; sleep 0.1; done
page() {
  "$browser" --headless --no-sandbox --disable-gpu --user-data-dir="$scratch/profile" \
    --virtual-time-budget=3000 --dump-dom "$1" 2>/dev/null
}
with=$(page "http://127.0.0.1:$port/?key=$key")
order=$(grep -o 'data-n="[0-9]*"' <<<"$with" | tr '\n' ' ')
if [ "$order" != 'data-n="3" data-n="2" data-n="1" ' ]; then
  echo "FAIL: with the key the page shows [$order], not pictures 3, 2, 1"; exit 1
fi
grep -q 'Photo-0003.jpg' <<<"$with" || { echo "FAIL: no picture names on the page"; exit 1; }
without=$(page "http://127.0.0.1:$port/")
if grep -q 'data-n=' <<<"$without" || ! grep -q 'needs its key' <<<"$without"; then
  echo "FAIL: without the key the page shows pictures or no request for the key"; exit 1
fi
echo "PASS: the page with the key shows 3 pictures newest first; without it, none"
