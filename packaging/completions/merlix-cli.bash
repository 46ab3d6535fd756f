# bash completion for merlix-cli: its commands and options, the chips of its
# chip table and the adapters of this machine, all asked of merlix-cli itself
# (merlix-cli --complete ...), so that they never drift from the program.
_merlix_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local program=${COMP_WORDS[0]} commands command="" i
    commands=$("$program" --complete commands 2>/dev/null)
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ " ${commands//$'\n'/ } " == *" ${COMP_WORDS[i]} "* ]]; then
            command=${COMP_WORDS[i]}
            break
        fi
    done
    # The i2c-tools commands take their own arguments.
    [[ $command == i2c* ]] && return
    case $prev in
    --chip | --bench-chip)
        COMPREPLY=($(compgen -W "$("$program" --complete chips 2>/dev/null) auto" -- "$cur"))
        return
        ;;
    --adapter)
        COMPREPLY=($(compgen -W "$("$program" --complete adapters 2>/dev/null)" -- "$cur"))
        return
        ;;
    -i | --input | -o | --output | --trace | --traffic | --bench-vcd | FILE)
        COMPREPLY=($(compgen -f -- "$cur"))
        return
        ;;
    --bench-state)
        COMPREPLY=($(compgen -d -- "$cur"))
        return
        ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$("$program" --complete options $command 2>/dev/null)" -- "$cur"))
    elif [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -F _merlix_cli merlix-cli
