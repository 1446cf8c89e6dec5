#!/bin/sh
# The README's GNU parallel recipe on two "hosts" that are folders of this
# machine: a stand-in for ssh runs each command in its host's folder, so the
# files really travel there and back through rsync.
# Usage: parallel_recipe.sh BIN_DIR
set -eu
bin=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export HOSTS="$work/hosts" PATH="$bin:$PATH"
# GNU parallel quotes the remote command for the shell SHELL names; without
# SHELL (as under some CI runners) its command does nothing on the host. The
# stand-in host runs sh.
export SHELL=/bin/sh

cat > fake-ssh <<'SSH'
#!/bin/sh
host=$1; shift
[ "$1" = "--" ] && shift
echo "$host" >> "$HOSTS/used"
mkdir -p "$HOSTS/$host" && cd "$HOSTS/$host" && exec sh -c "$*"
SSH
chmod +x fake-ssh
mkdir -p hosts music/a music/b
sox -n -r 8000 -c 1 -b 16 music/a/x.wav synth 0.2 sine 400
cp music/a/x.wav music/b/x.wav
cp music/a/x.wav "music/b/y z.wav"

# The recipe, with --ssh added.
export RSYNC_OLD_ARGS=1
find music -name '*.wav' |
  parallel --ssh "$work/fake-ssh" --sshlogin 1/hostA,1/hostB --transferfile {} --return {.}.ogg --cleanup \
    zelph-convert --quiet --jobs 1 --target ogg --beside-source {} > results.txt 2> errors.txt ||
  { cat results.txt errors.txt; echo "parallel failed"; exit 1; }

fail() { echo "$1"; cat results.txt errors.txt; exit 1; }
[ "$(grep -c '^Done' results.txt)" = 3 ] || fail "not every file is done"
for output in music/a/x.ogg music/b/x.ogg "music/b/y z.ogg"; do
  [ "$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$output")" = vorbis ] ||
    fail "$output did not come back as Ogg Vorbis"
done
grep -q hostA hosts/used && grep -q hostB hosts/used || fail "both hosts were not used"
[ -z "$(find hosts/hostA hosts/hostB -type f)" ] || fail "files were left on a host"
echo "the recipe converted on two hosts"
