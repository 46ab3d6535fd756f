# fish completion for merlix-cli: its commands and options, the chips of its
# chip table and the adapters of this machine, all asked of merlix-cli itself
# (merlix-cli --complete ...), so that they never drift from the program.
function __merlix_cli_command
    set -l commands (merlix-cli --complete commands 2>/dev/null)
    for word in (commandline -opc)[2..-1]
        if contains -- $word $commands
            echo $word
            return
        end
    end
end

complete -c merlix-cli -f
complete -c merlix-cli -n 'test -z "$(__merlix_cli_command)"' -a '(merlix-cli --complete commands 2>/dev/null)'
complete -c merlix-cli -n 'string match -q -- "-*" (commandline -ct)' \
    -a '(merlix-cli --complete options (__merlix_cli_command) 2>/dev/null)'
complete -c merlix-cli -l chip -l bench-chip -x -a '(merlix-cli --complete chips 2>/dev/null) auto'
complete -c merlix-cli -l adapter -x -a '(merlix-cli --complete adapters 2>/dev/null)'
complete -c merlix-cli -s i -l input -s o -l output -l trace -l traffic -l bench-vcd -r -F
complete -c merlix-cli -l bench-state -x -a '(__fish_complete_directories)'
