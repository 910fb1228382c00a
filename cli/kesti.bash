# bash completion for kesti: its options, the words each choice takes, and
# files and directories where an option wants one.
_kesti() {
    local cur prev words cword
    _init_completion -s || return

    case $prev in
        --hyphens) COMPREPLY=($(compgen -W 'join keep' -- "$cur")); return ;;
        --tones) COMPREPLY=($(compgen -W 'marks numbers none' -- "$cur")); return ;;
        --english) COMPREPLY=($(compgen -W 'guard convert' -- "$cur")); return ;;
        --conventional) COMPREPLY=($(compgen -W 'leave convert' -- "$cur")); return ;;
        --report-format|--format) COMPREPLY=($(compgen -W 'tsv csv' -- "$cur")); return ;;
        --encoding) COMPREPLY=($(compgen -W 'utf-8 cp1252' -- "$cur")); return ;;
        --tables) _filedir -d; return ;;
        -o|--output|--report|--summary|--add-table) _filedir; return ;;
        --text|--columns|--threads|-h|--help|-V|--version) return ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--output --in-place --diff --text --report --summary --report-format
            --hyphens --tones --english --conventional --lines --columns --header --format --add-table
            --progress --quiet --threads --exact --word --tables --encoding --help --version' -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    _filedir
}
complete -F _kesti kesti
