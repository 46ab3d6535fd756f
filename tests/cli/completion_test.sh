#!/usr/bin/env bash
# Runs bash's completion for merlix-cli as bash runs it (the function the
# script registers, with COMP_WORDS and COMP_CWORD set) and checks what it
# offers: commands, a command's options, chips from the chip table, adapters.
#   completion_test.sh MERLIX_CLI COMPLETION_SCRIPT
set -euo pipefail
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
ln -s "$(realpath "$1")" "$bin/merlix-cli"
PATH=$bin:$PATH
source "$2"
[ "$(complete -p merlix-cli)" = "complete -F _merlix_cli merlix-cli" ]

failed=0
offers() {  # EXPECTED WORD..., then --, then the command line; the last word is completed
  local expected=() line=()
  while [ "$1" != "--" ]; do expected+=("$1"); shift; done
  shift
  COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMPREPLY=()
  _merlix_cli
  local got=" ${COMPREPLY[*]} " word
  for word in "${expected[@]}"; do
    if [[ $word == !* ]]; then
      [[ $got != *" ${word#!} "* ]] && continue
    else
      [[ $got == *" $word "* ]] && continue
    fi
    failed=1
    echo "'$*': expected ${word} among:${got}"
  done
}

offers read restore -- merlix-cli re
offers i2cdetect i2cget !read -- merlix-cli --bench i2c
offers --chip --page --output !--input -- merlix-cli read --
offers --bench --bench-adapter -- merlix-cli --be
offers 24C02 24C256 25M02 !93C46x8 -- merlix-cli write --chip 2
offers auto -- merlix-cli read --chip a
offers 93C46x8 93C46x16 -- merlix-cli read --chip 93C46
offers lpt1 ch341a:all !spidev -- merlix-cli --adapter ""
exit $failed
