#!/usr/bin/env bash
# The i2c-tools and merlix-cli side by side on the same bench chips: i2cget,
# i2cset, i2cdump and i2ctransfer run on the bench's fake /dev/i2c-1 (through
# the preload library built from the bench's sources), merlix-cli on the
# bench, both from one bench state folder. For each request the two must
# print the same thing; where they differ, both outputs are shown. Then
# merlix-cli's own i2cdetect, i2cget, i2cset, i2cdump and i2ctransfer take
# the very same command lines and must print the same and exit alike: on the
# bench's parallel adapter and CH341A, and through links named as the tools
# on the fake /dev/i2c-1 itself.
#   i2c_tools_side_by_side.sh MERLIX_CLI SHIM [--show]
# --show prints every pair, for a reader comparing the two by eye.
set -euo pipefail
cli=$(realpath "$1") shim=$(realpath "$2") show=${3:-}
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
compare "receive byte" i2cget -y 1 0x21 -- get 0x21

# The same command line to both, stdout and exit code compared.
links=$dir/links
mkdir -p "$links"
for tool in i2cdetect i2cget i2cset i2cdump i2ctransfer; do ln -s "$cli" "$links/$tool"; done
same() {  # TITLE, then the i2c-tools command line
  local title=$1; shift
  local a b c d e f
  a=$(tools "$@"; echo "exit $?")
  for how in bench ch341a link; do
    case $how in
      bench) b=$(merlix "$@"; echo "exit $?") ;;
      ch341a) b=$("$cli" --bench-adapter ch341a --bench-state "$state" "$@" 2>/dev/null; echo "exit $?") ;;
      link) b=$(MERLIX_BENCH_STATE=$state LD_PRELOAD=$shim "$links/$1" "${@:2}" 2>/dev/null; echo "exit $?") ;;
    esac
    if [ "$a" != "$b" ]; then
      failed=1
      printf '%s (%s): the outputs differ\n$ %s\n%s\n$ merlix-cli %s\n%s\n\n' "$title" "$how" "$*" "$a" "$*" "$b"
    fi
  done
  if [ -n "$show" ]; then printf '$ %s\n%s\n\n' "$*" "$a"; fi
}

# i2cdetect probes 0x30..0x37 and 0x50..0x5f with a read, never a write, so
# that a memory's pointer is not moved; the read shows on the grid alike.
same "detect" i2cdetect -y 1
same "detect, all addresses" i2cdetect -y -a 1
same "detect by reads, a range" i2cdetect -y -r 1 0x20 0x58
same "detect by quick writes" i2cdetect -q -y 1
same "functions" i2cdetect -F 1
same "detect, bad range" i2cdetect -y 1 0x02 0x30
same "detect, two modes" i2cdetect -q -r -y 1
same "get, receive byte" i2cget -y 1 0x21
same "get, write then receive" i2cget -y 1 0x21 0x40 c
same "get, a word" i2cget -y 1 0x21 0x10 w
same "get, a block" i2cget -y 1 0x50 0x10 i 6
same "get, no answer" i2cget -y 1 0x23 0x00
same "get, bad mode" i2cget -y 1 0x21 0x00 x
same "get, address out of range" i2cget -y 1 0x78 0x00
same "get, bus not there" i2cget -y 4 0x21 0x00
same "set, masked, read back" i2cset -y -m 0xf0 -r 1 0x21 0x33 0x5a
same "set, a word, read back" i2cset -y -r 1 0x21 0x34 0x1234 w
same "set, a block" i2cset -y 1 0x21 0x40 1 2 3 4 i
same "set, send byte" i2cset -y 1 0x21 0x05
same "set, no answer" i2cset -y 1 0x23 0x00 0x01
same "set, too many" i2cset -y 1 0x21 0x00 0x01 0x02 b
same "dump" i2cdump -y 1 0x21
same "dump words" i2cdump -y 1 0x21 w
same "dump even words, a range" i2cdump -y -r 0x10-0x2f 1 0x21 W
same "dump consecutive bytes" i2cdump -y -r 0x00-0x3f 1 0x50 c
same "dump I2C blocks" i2cdump -y 1 0x50 i
same "dump, no answer" i2cdump -y 1 0x23
same "transfer, verbose" i2ctransfer -v -y 1 w2@0x21 0x60 0x99 w1@0x21 0x60 r2
same "transfer, no answer" i2ctransfer -y 1 w1@0x23 0x00
same "transfer, incomplete" i2ctransfer -y 1 w2@0x21 0x00
# A kernel driver holding 0x21 and 0x50: i2c-dev's node (here its fake, under
# the tools and the links alike) refuses them without -f, and i2cdetect shows UU.
held() {  # TITLE, then the i2c-tools command line
  local title=$1; shift
  local a b
  a=$(MERLIX_BENCH_DRIVER_HELD=0x21,0x50 tools "$@"; echo "exit $?")
  b=$(MERLIX_BENCH_DRIVER_HELD=0x21,0x50 MERLIX_BENCH_STATE=$state LD_PRELOAD=$shim "$links/$1" "${@:2}" 2>/dev/null
    echo "exit $?")
  if [ "$a" != "$b" ]; then
    failed=1
    printf '%s (held): the outputs differ\n$ %s\n%s\n$ merlix-cli %s\n%s\n\n' "$title" "$*" "$a" "$*" "$b"
  fi
}
held "detect" i2cdetect -y 1
held "get" i2cget -y 1 0x21 0x10
held "get, forced" i2cget -f -y 1 0x21 0x10
held "transfer" i2ctransfer -y 1 w1@0x50 0x00 r2
held "transfer, forced" i2ctransfer -f -y 1 w1@0x50 0x00 r2
exit $failed
