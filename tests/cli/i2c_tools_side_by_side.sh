#!/usr/bin/env bash
# The i2c-tools and merlix-cli side by side on the same bench chips: i2cget,
# i2cset, i2cdump and i2ctransfer run on the bench's fake /dev/i2c-1 (through
# the preload library built from the bench's sources), merlix-cli on the
# bench, both from one bench state folder. For each request the two must
# print the same thing; where they differ, both outputs are shown.
#   i2c_tools_side_by_side.sh MERLIX_CLI SHIM [--show]
# --show prints every pair, for a reader comparing the two by eye.
set -euo pipefail
cli=$1 shim=$2 show=${3:-}
PATH=$PATH:/usr/sbin:/sbin
if ! command -v i2cdump >/dev/null; then
  echo "i2c-tools are not installed (apt-get install i2c-tools; tools/deps does it): skipped"
  exit 77
fi
if [ ! -f "$shim" ]; then
  echo "the preload library $shim is not built (a partial build; tools/test builds it): skipped"
  exit 77
fi
if ldd "$shim" | grep -q 'lib[at]san'; then
  echo "the preload library is built with a sanitizer, which must load first: skipped"
  exit 77
fi

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export HOME=$dir XDG_STATE_HOME=$dir/state XDG_DATA_HOME=$dir/data XDG_CONFIG_HOME=$dir/config
state=$dir/bench
mkdir -p "$state"
# Register device 0x21 (the window's 42) holds every byte value once, so the
# dump shows printable, unprintable, 00 and FF; the 24C16 a counting pattern.
python3 - "$state" <<'PY'
import sys
folder = sys.argv[1]
open(folder + "/register-42.bin", "wb").write(bytes((i * 97 + 5) % 256 for i in range(256)))
open(folder + "/eeprom-24c16.bin", "wb").write(bytes((i * 7 + i // 256) % 256 for i in range(2048)))
PY

# Standard output only: the two tell failures in their own words, on stderr.
tools() { MERLIX_BENCH_STATE=$state LD_PRELOAD=$shim "$@" 2>/dev/null; }
merlix() { "$cli" --bench --bench-state "$state" -q "$@" 2>/dev/null; }

failed=0
compare() {  # TITLE, the i2c-tools command, then -- and merlix-cli's arguments
  local title=$1; shift
  local theirs=() ours=()
  while [ "$1" != "--" ]; do theirs+=("$1"); shift; done
  shift
  ours=("$@")
  local a b
  a=$(tools "${theirs[@]}" || true)
  b=$(merlix "${ours[@]}" || true)
  if [ "$a" != "$b" ]; then
    failed=1
    printf '%s: the outputs differ\n$ %s\n%s\n$ merlix-cli %s\n%s\n\n' "$title" "${theirs[*]}" "$a" "${ours[*]}" "$b"
  elif [ -n "$show" ]; then
    printf '$ %s\n$ merlix-cli %s\n%s\n\n' "${theirs[*]}" "${ours[*]}" "$a"
  fi
}

compare "get" i2cget -y 1 0x21 0x10 -- get 0x21 0x10
compare "get, an octal register" i2cget -y 1 0x21 010 -- get 0x21 010
compare "get a word" i2cget -y 1 0x21 0x10 w -- get 0x21 0x10 w
compare "dump" i2cdump -y 1 0x21 -- dump 0x21
compare "dump a range" i2cdump -y -r 0x09-0x22 1 0x21 -- dump -r 0x09-0x22 0x21
compare "transfer" i2ctransfer -y 1 w1@0x50 0x00 r8 r4 -- transfer w1@0x50 0x00 r8 r4
compare "transfer with suffixes" i2ctransfer -y 1 w5@0x21 0x80 0x10+ w3@0x21 0x90 0xfe- w1@0x21 0x80 r5 \
  -- transfer w5@0x21 0x80 0x10+ w3@0x21 0x90 0xfe- w1@0x21 0x80 r5
# Each side's write reaches the shared chips: what one wrote, the other reads.
tools i2cset -y 1 0x21 0x30 0xa5 >/dev/null
compare "after i2cset" i2cget -y 1 0x21 0x30 -- get 0x21 0x30
merlix set 0x21 0x31 0x5a >/dev/null
compare "after merlix-cli set" i2cget -y 1 0x21 0x31 -- get 0x21 0x31
compare "set with a mask, read back" i2cset -y -m 0x0f -r 1 0x21 0x32 0x77 -- set -m 0x0f -r 0x21 0x32 0x77
compare "a device that does not answer" i2cget -y 1 0x23 0x00 -- get 0x23 0x00
exit $failed
