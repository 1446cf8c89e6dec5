# bash completion for zelph-convert
#
# The options and their values are read from "zelph-convert --help", the
# --set fields from "--list-fields" and the file kinds from
# "--list-extensions", so the completion always offers what the installed
# program takes.

_zelph_convert() {
    local cur prev words cword
    _init_completion || return

    local help
    help=$("$1" --help 2>/dev/null) || return
    # The choices shown after an option, as in "--target wav|blade|...".
    local choices
    choices=$(sed -n "s/^ *$prev \([a-z|]*|[a-z|]*\).*/\1/p" <<<"$help" | head -n 1)
    if [[ -n $choices ]]; then
        COMPREPLY=($(compgen -W "${choices//|/ }" -- "$cur"))
        return
    fi
    case $prev in
        --settings | --files-from)
            _filedir
            return
            ;;
        --output-dir | --keep-tree)
            _filedir -d
            return
            ;;
        --jobs | -j)
            # 0 is one file per processor.
            COMPREPLY=($(compgen -W "$(seq 0 "$(nproc 2>/dev/null || echo 1)")" -- "$cur"))
            return
            ;;
        =)
            # A value after "--set NAME=": nothing to offer.
            [[ ${words[cword - 3]} == --set ]] && return
            # A rule's target after "--rule KIND=": a target or a plain copy.
            if [[ ${words[cword - 3]} == --rule ]]; then
                COMPREPLY=($(compgen -W "$(sed -n 's/^  --target \([a-z|]*\).*/\1/p' <<<"$help" | tr '|' ' ') copy" -- "$cur"))
                return
            fi
            ;;
        --set)
            # The value follows an "=", typed right after the name.
            compopt -o nospace
            COMPREPLY=($(compgen -W "$("$1" --list-fields 2>/dev/null)" -- "$cur"))
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(sed -n 's/^  \(--[a-z-]*\).*/\1/p' <<<"$help")" -- "$cur"))
        return
    fi
    # Every source kind, in lower and upper case.
    local extensions
    extensions=$("$1" --list-extensions 2>/dev/null | tr '\n' '|')
    extensions=${extensions%|}
    _filedir "@(${extensions}|${extensions^^})"
} && complete -F _zelph_convert zelph-convert
