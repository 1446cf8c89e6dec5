#!/usr/bin/env bash
# Checks of the installed program: install_test.sh STEP BUILD_DIR, where
# "install" installs into BUILD_DIR/install-test/root for the other steps.
set -euo pipefail
step=$1
build=$(realpath "$2")
root=$build/install-test/root
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
# The installed programs find no settings of the user's.
export XDG_CONFIG_HOME=$work/config

# The name a user reads for each target the program offers.
target_names() {
    local target
    for target in $("$build/bin/zelph-convert" --help | sed -n 's/^ *--target \([a-z0-9|]*\).*/\1/p' | tr '|' ' '); do
        case $target in
        wav) echo WAV ;; blade) echo Blade ;; lame) echo LAME ;; gogo) echo GoGo ;; ogg) echo Ogg Vorbis ;;
        ape) echo "Monkey's Audio" ;; flac) echo FLAC ;; opus) echo Opus ;; *) fail "no name for the target $target" ;;
        esac
    done
}
# Fails unless the text in file $2 names every target (also across a line
# break); $1 says what it is.
names_every_target() {
    local name text
    text=$(tr -s ' \n' ' ' <"$2")
    while read -r name; do
        [[ $text == *"$name"* ]] || fail "$1 does not name $name"
    done < <(target_names)
}

# Every file an installed program needs, relative to the prefix.
expected_files=(
    bin/zelph
    bin/zelph-convert
    lib/zelph/Plugins/Mpg123.so
    lib/zelph/Plugins/Ogg.so
    lib/zelph/Plugins/Vorbis.so
    lib/zelph/Plugins/VorbisEnc.so
    lib/zelph/Plugins/Lame_Enc.so
    lib/zelph/Plugins/BladeEnc.so
    lib/zelph/Plugins/GoGo.so
    lib/zelph/Plugins/MACDll.so
    share/applications/org.zelph.AudioConverter.desktop
    share/metainfo/org.zelph.AudioConverter.metainfo.xml
    share/icons/hicolor/scalable/apps/zelph.svg
    share/icons/hicolor/48x48/apps/zelph.png
    share/man/man1/zelph.1.gz
    share/man/man1/zelph-convert.1.gz
    share/bash-completion/completions/zelph-convert
    share/doc/zelph/copyright
)

case $step in
install)
    rm -rf "$build/install-test"
    DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
    for file in "${expected_files[@]}"; do
        [[ -e $root/usr/$file ]] || fail "not installed: $file"
    done
    # Test-only codec libraries stay in the build.
    [[ ! -e $root/usr/lib/zelph/Plugins/TestPlugin.so ]] || fail "a test library was installed"
    ;;

convert)
    bin=$root/usr/bin
    [[ ! -e $bin/Plugins ]] || fail "a Plugins folder beside the installed program would hide the installed one"
    sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 1 sine 440
    # Every target the installed program offers, as its --help names them.
    targets=$("$bin/zelph-convert" --help | sed -n 's/^ *--target \([a-z0-9|]*\).*/\1/p' | tr '|' ' ')
    [[ -n $targets ]] || fail "no targets in --help"
    for target in $targets; do
        mkdir "$work/$target"
        result=$(cd "$work" && "$bin/zelph-convert" --quiet --verbose --target "$target" \
            --output-dir "$work/$target" tone.wav) || fail "$target: $result"
        out=$(cut -f3 <<<"$result")
        [[ -s $out ]] || fail "$target: no output in '$result'"
        # An outside decoder reads a second of audio from it.
        bytes=$(ffmpeg -v error -i "$out" -f s16le -ac 1 -ar 8000 - | wc -c)
        ((bytes > 8000 * 2 * 9 / 10)) || fail "$target: $out decodes to $bytes bytes, less than a second"
    done
    # An MP3 source goes through the installed decoder library too.
    (cd "$work" && "$bin/zelph-convert" --quiet --target wav --output-dir "$work/wav" lame/tone.mp3) >/dev/null ||
        fail "the installed MP3 decoder"
    ;;

desktop)
    desktop-file-validate "$root/usr/share/applications/org.zelph.AudioConverter.desktop"
    appstreamcli validate --no-net "$root/usr/share/metainfo/org.zelph.AudioConverter.metainfo.xml" >"$work/as" ||
        fail "appstreamcli: $(cat "$work/as")"
    sed -n 's/^Comment=//p' "$root/usr/share/applications/org.zelph.AudioConverter.desktop" >"$work/comment"
    names_every_target "the menu entry's Comment" "$work/comment"
    names_every_target "the AppStream description" <(sed 's/<[^>]*>//g' \
        "$root/usr/share/metainfo/org.zelph.AudioConverter.metainfo.xml")
    grep -q '^Exec=zelph --xdg-settings %F$' "$root/usr/share/applications/org.zelph.AudioConverter.desktop" ||
        fail "the menu entry does not start the program with its settings folder and the files"
    # The entry's command starts the installed program, which makes its settings folder.
    exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/org.zelph.AudioConverter.desktop")
    read -r -a command <<<"${exec_line/\%F/$work/tone.wav}"
    status=0
    XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen PATH=$root/usr/bin:$PATH \
        timeout 3 "${command[@]}" 2>/dev/null || status=$?
    ((status == 124)) || fail "the menu entry's command ended with status $status instead of running"
    [[ -d $work/config/zelph ]] || fail "no settings folder in XDG_CONFIG_HOME"
    icon=$(sed -n 's/^Icon=//p' "$root/usr/share/applications/org.zelph.AudioConverter.desktop")
    for size in 16 22 24 32 48 64 128 256; do
        png=$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
        [[ $(identify -format '%wx%h' "$png") == "${size}x${size}" ]] || fail "$png is not $size pixels square"
    done
    ;;

manpages)
    for page in zelph zelph-convert; do
        MANWIDTH=80 man --nh -l "$root/usr/share/man/man1/$page.1.gz" 2>"$work/warn" >"$work/$page.txt"
        [[ ! -s $work/warn ]] || fail "$page(1): $(cat "$work/warn")"
        for section in NAME SYNOPSIS OPTIONS "EXIT STATUS" FILES; do
            grep -q "^$section" "$work/$page.txt" || fail "$page(1) has no $section section"
        done
        "$root/usr/bin/$page" --help >"$work/help" 2>/dev/null
        for option in $(grep -o -- '--[a-z-]*' "$work/help" | sort -u); do
            grep -q -- "$option" "$work/$page.txt" || fail "$page(1) does not describe $option"
        done
        # The values an option takes, as in "--target wav|blade|...".
        for value in $(sed -n 's/^ *--[a-z-]* \([a-z0-9]*|[a-z0-9|]*\).*/\1/p' "$work/help" | tr '|' ' '); do
            grep -qw -- "$value" "$work/$page.txt" || fail "$page(1) does not name the value $value"
        done
        names_every_target "$page(1)" "$work/$page.txt"
    done
    # Every --set field, in --help (by block) and in the manual page.
    "$root/usr/bin/zelph-convert" --list-fields | sort >"$work/fields"
    [[ $(wc -l <"$work/fields") -gt 50 ]] || fail "--list-fields lists $(wc -l <"$work/fields") fields"
    "$root/usr/bin/zelph-convert" --help | awk '
        /^Fields for --set/ { on = 1; next }
        on && /^  [A-Za-z]+: / { block = substr($1, 1, length($1) - 1); from = 2 }
        on && /^  [A-Za-z]+$/ { print $1; next }
        on && /^    / { from = 1 }
        on { for (i = from; i <= NF; i++) print block "." $i }' | sort >"$work/help-fields"
    diff "$work/fields" "$work/help-fields" >&2 || fail "--help does not list the --set fields"
    tr -s ', ' '\n' <"$work/zelph-convert.txt" >"$work/page-words"
    while read -r field; do
        grep -qx -- "$field" "$work/page-words" || fail "zelph-convert(1) does not list the field $field"
    done <"$work/fields"
    ;;

completion)
    script=$root/usr/share/bash-completion/completions/zelph-convert
    complete_line() {
        PATH=$root/usr/bin:$PATH bash -c '
            source /usr/share/bash-completion/bash_completion
            source "$1"; shift
            COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
            COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
            _zelph_convert zelph-convert "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
            printf "%s\n" "${COMPREPLY[@]}" | sort' _ "$script" "$@"
    }
    [[ $(complete_line zelph-convert --target "" | tr '\n' ' ') == "aac aiff alac ape blade flac gogo lame ogg opus wav wavpack " ]] ||
        fail "--target values: $(complete_line zelph-convert --target "")"
    [[ $(complete_line zelph-convert --if-exists o) == overwrite ]] || fail "--if-exists values"
    [[ $(complete_line zelph-convert --de | tr '\n' ' ') == "--delete-orphans --delete-source --describe " ]] ||
        fail "options: $(complete_line zelph-convert --de)"
    [[ $(complete_line zelph-convert --jobs "" | head -n 2 | tr '\n' ' ') == "0 1 " ]] ||
        fail "--jobs values: $(complete_line zelph-convert --jobs "")"
    [[ $(complete_line zelph-convert --set "") == "$("$root/usr/bin/zelph-convert" --list-fields | sort)" ]] ||
        fail "--set fields: $(complete_line zelph-convert --set "" | head)"
    [[ $(complete_line zelph-convert --set lame.cbr | tr '\n' ' ') == "lame.cbrBitrate lame.cbrBitrateIndex " ]] ||
        fail "--set lame.cbr: $(complete_line zelph-convert --set lame.cbr)"
    # Every source kind the program reads, in either case, and nothing else.
    mkdir "$work/music"
    expected=()
    for extension in $("$root/usr/bin/zelph-convert" --list-extensions); do
        touch "$work/music/a.$extension" "$work/music/b.${extension^^}"
        expected+=("a.$extension" "b.${extension^^}")
    done
    touch "$work/music/notes.txt"
    for extension in flac oga opus; do
        [[ -e $work/music/a.$extension ]] || fail "--list-extensions lacks $extension"
    done
    [[ $(cd "$work/music" && complete_line zelph-convert "") == "$(printf '%s\n' "${expected[@]}" | sort)" ]] ||
        fail "files: $(cd "$work/music" && complete_line zelph-convert "" | tr '\n' ' ')"
    ;;

deb)
    (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/log") ||
        fail "cpack: $(cat "$work/log")"
    deb=$(ls "$work"/out/zelph_*.deb)
    dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./usr/||' >"$work/listed"
    for file in "${expected_files[@]}"; do
        grep -qx "$file" "$work/listed" || fail "the package lacks $file"
    done
    depends=$(dpkg-deb -f "$deb" Depends)
    for package in libmpg123-0 libogg0 libvorbis0a libvorbisenc2 libmp3lame0 libqt6svg6 libcue2; do
        [[ $depends == *"$package"* ]] || fail "the package does not depend on $package: $depends"
    done
    [[ $(dpkg-deb -f "$deb" Package) == zelph ]] || fail "package name"
    names_every_target "the package description" <(dpkg-deb -f "$deb" Description)
    ;;

*)
    fail "unknown step $step"
    ;;
esac
echo "$step: ok"
