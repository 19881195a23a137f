# bash completion for quillmark-cli                                  -*- shell-script -*-

# COM1 to COM8, every COMn entry of the config folder, the stable device names, and the
# network schemes.
_quillmark_cli_ports()
{
    local config=${XDG_CONFIG_HOME:-$HOME/.config}/Tarvenor/Quillmark entry
    local -a ports=(COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 tcp:// rfc2217://)
    for entry in "$config"/COM*; do
        [[ -e $entry || -L $entry ]] && ports+=("${entry##*/}")
    done
    for entry in /dev/serial/by-id/*; do
        [[ -e $entry ]] && ports+=("$entry")
    done
    COMPREPLY+=($(compgen -W "${ports[*]}" -- "$1"))
    [[ $1 == *:// ]] && compopt -o nospace 2>/dev/null
}

_quillmark_cli_stations()
{
    compopt -o filenames 2>/dev/null
    COMPREPLY+=($(compgen -f -X '!*.@(rds|RDS|json|JSON)' -- "$1") $(compgen -d -- "$1"))
}

_quillmark_cli()
{
    local cur prev words cword
    _init_completion -n : || return
    local commands="show export import diff read program ports"

    local command="" i positional=0
    for ((i = 1; i < cword; i++)); do
        if [[ -z $command && ${words[i]} != -* ]]; then
            command=${words[i]}
        elif [[ -n $command && ${words[i]} != -* && ${words[i - 1]} != @(-o|--output) ]]; then
            ((positional++))
        fi
    done

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi
    if [[ $prev == @(-o|--output) ]]; then
        _quillmark_cli_stations "$cur"
        return
    fi
    local options=""
    case $command in
    show) options="--json" ;;
    export | import) options="-o --output" ;;
    diff) options="--json" ;;
    read) options="-o --output" ;;
    program) options="--verify --if-different --json" ;;
    ports) options="--json" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options --help" -- "$cur"))
        return
    fi
    case $command in
    show | diff)
        _quillmark_cli_stations "$cur"
        _quillmark_cli_ports "$cur"
        ;;
    export | import) ((positional == 0)) && _quillmark_cli_stations "$cur" ;;
    read) ((positional == 0)) && _quillmark_cli_ports "$cur" ;;
    program)
        if ((positional == 0)); then
            _quillmark_cli_ports "$cur"
        else
            _quillmark_cli_stations "$cur"
        fi
        ;;
    esac
    __ltrim_colon_completions "$cur"
} &&
    complete -F _quillmark_cli quillmark-cli

# ex: filetype=sh
