#!/usr/bin/env bash
# The bash completion of quillmark-cli: subcommands, options, ports (COMn entries, stable
# names, network schemes) and station files.
# Usage: completion.sh COMPLETION_FILE
set -uo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME/Tarvenor/Quillmark" "$work/files"
ln -s /nonexistent "$XDG_CONFIG_HOME/Tarvenor/Quillmark/COM12"
touch "$work/files/site.rds" "$work/files/site.json" "$work/files/notes.txt"
cd "$work/files" || exit 1
source /usr/share/bash-completion/bash_completion
source "$1"

complete_line() { # the words offered for the line, the last word being completed
    COMP_LINE=$1
    read -ra COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _quillmark_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}
status=0
expect() { # line, words that must be offered, words that must not
    local got
    got=" $(complete_line "$1")"
    for word in $2; do [[ $got == *" $word "* ]] || { echo "FAIL: '$1' lacks $word: $got"; status=1; }; done
    for word in ${3:-}; do [[ $got != *" $word "* ]] || { echo "FAIL: '$1' offers $word: $got"; status=1; }; done
}
expect "quillmark-cli pr" "program" "ports"
expect "quillmark-cli program --v" "--verify"
expect "quillmark-cli program " "COM1 COM8 COM12 rfc2217:// tcp://" "site.rds"
expect "quillmark-cli program COM1 " "site.rds site.json" "notes.txt COM1"
expect "quillmark-cli show " "site.rds COM12" "notes.txt"
expect "quillmark-cli read COM1 -o " "site.rds" "COM1"
expect "quillmark-cli frob " "" "COM1"
[ $status = 0 ] && echo PASS
exit $status
