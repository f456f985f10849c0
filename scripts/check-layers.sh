#!/usr/bin/env bash
# Includes in src/ point one way: host/ -> common/ -> subsystems -> addon/.
# A subsystem may use another subsystem, but never round a loop; and only
# addon/, host/ and gui/ include the host's API headers.
#
#   scripts/check-layers.sh [source folder]   (default: src/)
set -euo pipefail

src="${1:-$(cd "$(dirname "$0")/.." && pwd)/src}"
cd "$src"

rank() {
  case "$1" in
    host) echo 0 ;;
    common) echo 1 ;;
    backend | discovery | epg | live | recordings | series | services | gui) echo 2 ;;
    addon) echo 3 ;;
    *) echo -1 ;;
  esac
}

failures=0
fail() {
  echo "check-layers: $*" >&2
  failures=$((failures + 1))
}

edges="$(mktemp)"
trap 'rm -f "$edges"' EXIT

while IFS= read -r hit; do
  file="${hit%%:*}"
  rest="${hit#*:}"
  line="${rest%%:*}"
  target="$(sed -E 's/^[^"<]*["<]([^">]+)[">].*/\1/' <<<"${rest#*:}")"
  file="${file#./}"
  from="${file%%/*}"
  to="${target%%/*}"
  [ "$target" != "$to" ] || continue  # not a folder-qualified include
  from_rank="$(rank "$from")"
  to_rank="$(rank "$to")"
  if [ "$from_rank" -lt 0 ]; then
    fail "$file: folder $from/ is not part of the layout"
    continue
  fi
  if [ "$to_rank" -lt 0 ]; then
    fail "$file:$line includes $target: $to/ is not part of the layout"
    continue
  fi
  if [ "$to_rank" -gt "$from_rank" ]; then
    fail "$file:$line includes $target: $from/ may not include $to/"
  fi
  if [ "$to" = host ] && [[ "$target" == host/xbmc_* || "$target" == host/DemuxPacket.h ]]; then
    case "$from" in
      addon | host | gui) ;;
      *) fail "$file:$line includes the host API header $target outside addon/, host/ and gui/" ;;
    esac
  fi
  if [ "$from_rank" -eq 2 ] && [ "$to_rank" -eq 2 ] && [ "$from" != "$to" ]; then
    echo "$from $to" >>"$edges"
  fi
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*("|<(host|common|backend|discovery|epg|live|recordings|series|services|gui|addon)/)' \
  --include='*.h' --include='*.cpp' . || true)

# tsort reports a loop among the subsystems' uses of each other.
if [ -s "$edges" ]; then
  if ! loops="$(sort -u "$edges" | tsort 2>&1 >/dev/null)" || [ -n "$loops" ]; then
    fail "subsystems include each other round a loop:"
    echo "$loops" | sed 's/^/  /' >&2
    echo "  uses: $(sort -u "$edges" | tr '\n' ';')" >&2
  fi
fi

if [ "$failures" -gt 0 ]; then
  echo "check-layers: $failures problem(s)" >&2
  exit 1
fi
echo "check-layers: includes point one way"
