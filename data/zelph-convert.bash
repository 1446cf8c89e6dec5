# bash completion for zelph-convert
#
# The options and their values are read from "zelph-convert --help", so the
# completion always offers what the installed program takes.

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
        --settings)
            _filedir
            return
            ;;
        --output-dir)
            _filedir -d
            return
            ;;
        --set)
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(sed -n 's/^  \(--[a-z-]*\).*/\1/p' <<<"$help")" -- "$cur"))
        return
    fi
    _filedir '@(wav|mp2|mp3|ogg|ape|vqf|WAV|MP2|MP3|OGG|APE|VQF)'
} && complete -F _zelph_convert zelph-convert
