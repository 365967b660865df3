#!/usr/bin/env bash
# What each script asks apt for, against a fake apt on which nothing is installed and pulseaudio
# would remove the desktop's sound (as on a PipeWire desktop): playing asks for no test tool,
# pulseaudio is the benchmark's alone, and no install may ever remove a package. As a user who
# is not root, through a sudo that resets the environment as sudo does: no install may ask. A
# renamed package is asked for by the name the archive offers, and a name that an installed package
# provides counts as installed: with everything in place no script calls apt.
# Usage: packages_test.sh SOURCE_DIR WORK_DIR
set -u
src=$1 work=$2
rm -rf "$work" && mkdir -p "$work/bin"
log=$work/apt.log
fake() { printf '#!/bin/sh\n%s\n' "$2" >"$work/bin/$1" && chmod +x "$work/bin/$1"; }
# dpkg-query: the installed list, with the names each provides only when the format asks for them
fake dpkg-query "case \"\$*\" in *Provides*) cat $work/installed ;; *) sed 's/, .*/, /' $work/installed ;; esac 2>/dev/null"
fake apt-cache "case \"\$*\" in *libasound2t64*) [ -e $work/old-archive ] || echo '  Candidate: 1.2.14-1' ;; esac"
fake sudo 'exec env -i PATH="$PATH" "$@"'
fake id 'echo 1000'
fake xdpyinfo 'exit 0'
fake apt-get "echo \"\$*\" >>$log
[ \"\$DEBIAN_FRONTEND\" = noninteractive ] || case \"\$*\" in *-y*) echo \"\$*\" >>$work/asking.log ;; esac
case \"\$*\" in
  '-s install pulseaudio') echo 'Remv pipewire-audio [1.0.0-1]' ;;
  *install*pulseaudio*) echo 'E: Packages need to be removed but remove is disabled.'; exit 100 ;;
  *install*) exit 1 ;;  # stops the script before it builds anything
esac"
export PATH="$work/bin:$PATH" DISPLAY=:0
status=0
fail() { echo "FAIL: $*"; status=1; }
asked() { grep -- '-y' "$log" | tr ' ' '\n' | grep -v '^-' | grep -vx install; } # packages of real installs

# script  packages it must ask for  packages it must not ask for
while read -r script wanted unwanted; do
  : >"$log"
  "$src/scripts/$script" >/dev/null 2>&1 && fail "$script went on without its packages"
  for p in ${wanted//,/ }; do asked | grep -qx "$p" || fail "$script did not ask for $p"; done
  for p in ${unwanted//,/ }; do asked | grep -qx "$p" && fail "$script asked for $p"; done
done <<'TABLE'
run      wine,wine64,g++-mingw-w64-x86-64-posix,fonts-liberation  pulseaudio,g++,googletest,clang,xvfb,xdotool,openbox,imagemagick,python3,git
release  g++-mingw-w64-x86-64-posix,git,python3                   pulseaudio,wine,googletest,clang,xvfb
test     wine,googletest,clang,libclang-rt-dev,xvfb,openbox,xdotool,git,strace,libasound2t64  pulseaudio,libasound2
bench    wine,g++,googletest,xvfb,openbox,fonts-liberation        clang,libclang-rt-dev,imagemagick,xdotool,x11-apps,git,python3
test-debian13  debootstrap,debian-archive-keyring,rsync       wine,clang,googletest,xvfb,pulseaudio,python3
TABLE

: >"$log"
. "$src/scripts/common.sh"
touch "$work/old-archive" # Debian 12: the old name
ensurePackages playing "${playPackages[@]}" >/dev/null 2>&1
asked | grep -qx libasound2 || fail "the old archive was not asked for libasound2: $(asked | tr '\n' ' ')"
: >"$log"
# Everything in place, the sound library under its new name providing the old one.
for p in "${testPackages[@]}" "${benchPackages[@]}" "${releasePackages[@]}"; do echo "ii  ${p%%|*}, "; done |
  sed 's/^ii  libasound2t64, /ii  libasound2t64, libasound2 (= 1.2.14-1), /' >"$work/installed"
echo "iU  pulseaudio, " >>"$work/installed" # unpacked, not installed
for list in playPackages testPackages benchPackages releasePackages; do
  eval "ensurePackages \"\$list\" \"\${$list[@]}\"" >/dev/null 2>&1 || fail "$list: not all counted installed"
done
ensurePackages "the old name" libasound2 >/dev/null 2>&1 || fail "a name an installed package provides is missing"
[ -s "$log" ] && fail "apt called with everything installed: $(cat "$log")"
said=$(ensurePackages "the benchmark's PulseAudio rows" pulseaudio 2>&1) && fail "pulseaudio counted as installed"
grep -q "Not installed: pulseaudio, wanted for the benchmark's PulseAudio rows, would remove pipewire-audio" <<<"$said" ||
  fail "the conflict was not named: $said"
grep 'install' "$log" | grep -v -e '--no-remove' -e '^-s ' && fail "an install that may remove packages"
[ -e "$work/asking.log" ] && fail "an install that may ask questions: $(cat "$work/asking.log")"
[ $status -eq 0 ] && echo "packages: every script asks for its own, none may remove one or ask a question"
exit $status
