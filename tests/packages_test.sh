#!/usr/bin/env bash
# What each script asks apt for, against a fake apt on which nothing is installed and pulseaudio
# would remove the desktop's sound (as on a PipeWire desktop): playing asks for no test tool,
# pulseaudio is the benchmark's alone, and no install may ever remove a package. As a user who
# is not root, through a sudo that resets the environment as sudo does: no install may ask. A
# renamed package is asked for by the name the archive offers, and a name that an installed package
# provides counts as installed: with everything in place no script calls apt. Then against this
# machine's real dpkg-query and apt-cache: what counts as installed is what dpkg says, for each
# state a name is in here, and every name apt would be asked for is one the archive offers.
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
table=$(cat <<'TABLE'
run      wine,wine64,g++-mingw-w64-x86-64-posix,fonts-liberation  pulseaudio,g++,googletest,clang,xvfb,xdotool,openbox,imagemagick,python3,git
release  g++-mingw-w64-x86-64-posix,git,python3                   pulseaudio,wine,googletest,clang,xvfb
test     wine,googletest,clang,libclang-rt-dev,xvfb,openbox,xdotool,git,strace,libasound2t64  pulseaudio,libasound2
bench    wine,g++,googletest,xvfb,openbox,fonts-liberation        clang,libclang-rt-dev,imagemagick,xdotool,x11-apps,git,python3
test-debian13  debootstrap,debian-archive-keyring,rsync       wine,clang,googletest,xvfb,pulseaudio,python3
TABLE
)
while read -r script wanted unwanted; do
  : >"$log"
  "$src/scripts/$script" >/dev/null 2>&1 && fail "$script went on without its packages"
  for p in ${wanted//,/ }; do asked | grep -qx "$p" || fail "$script did not ask for $p"; done
  for p in ${unwanted//,/ }; do asked | grep -qx "$p" && fail "$script asked for $p"; done
done <<<"$table"

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

# The same scripts against this machine's own dpkg-query and apt-cache, as the release it runs
# answers them; apt-get, sudo and id stay fakes, so that nothing is ever installed.
mkdir -p "$work/real" "$work/none" && cp "$work/bin/apt-get" "$work/bin/sudo" "$work/bin/id" "$work/real/"
printf '#!/bin/sh\n' >"$work/none/dpkg-query" && chmod +x "$work/none/dpkg-query" # nothing installed
PATH="$work/real:${PATH#"$work/bin:"}"
dpkgSays() { # dpkg's word on NAME: its status, "unknown" (never installed), or "provided" by an installed package
  local status p
  status=$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)
  [ "$status" = installed ] && { echo installed; return; }
  for p in $(apt-cache showpkg "$1" 2>/dev/null | sed '1,/^Reverse Provides:/d' | cut -d' ' -f1 | sort -u); do
    [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" = installed ] &&
      dpkg-query -W -f='${Provides}' "$p" | tr ',' '\n' | awk '{print $1}' | grep -qxF -- "$1" && { echo provided; return; }
  done
  echo "${status:-unknown}"
}
# Every package a script names: its lists, and the names it passes itself (pulseaudio, the root's tools).
specs=($(printf '%s\n' "${playPackages[@]}" "${testPackages[@]}" "${benchPackages[@]}" "${releasePackages[@]}" \
  $(grep -ho 'ensurePackages "[^"]*" [a-z][^|&]*' "$src"/scripts/* | sed 's/ensurePackages "[^"]*" //') | sort -u))
# Each name, and one package of the machine left with its configuration (rc) when no name is.
declare -A says
have=$(installedNames) seen=" "
for n in $({ printf '%s\n' "${specs[@]}" | tr '|' '\n'; dpkg-query -W -f='${db:Status-Abbrev}${Package}\n' |
  sed -n 's/^rc //p' | head -1; } | sort -u); do
  says[$n]=$(dpkgSays "$n") && seen+="${says[$n]} "
  grep -qx -- "$n" <<<"$have" && got="lists" || got="leaves out"
  [[ ${says[$n]} == @(installed|provided) ]] && want=lists || want="leaves out"
  [ "$got" = "$want" ] || fail "installedNames $got $n, which dpkg calls ${says[$n]}"
done
for state in installed provided config-files unknown; do
  [[ $seen == *" $state "* ]] || echo "packages: no package here is $state in dpkg: that state goes unchecked on this machine"
done
# apt is asked only for what dpkg lacks; with nothing installed, by names the archive offers.
: >"$log"
ensurePackages check "${specs[@]}" >/dev/null 2>&1
asking=$(asked)
for p in "${specs[@]}"; do
  want=asked got="not asked"
  for alt in ${p//|/ }; do
    [[ ${says[$alt]} == @(installed|provided) ]] && want="not asked"
    grep -qx -- "$alt" <<<"$asking" && got=asked
  done
  [ "$got" = "$want" ] || fail "apt $got for $p, which dpkg calls:$(for alt in ${p//|/ }; do echo -n " $alt ${says[$alt]}"; done)"
done
: >"$log"
PATH="$work/none:$PATH" ensurePackages check "${specs[@]}" >/dev/null 2>&1
offered=$(apt-cache madison $(asked) 2>/dev/null | awk '{print $1}')
if [ -z "$offered" ]; then
  echo "packages: apt has no lists here: the names asked for go unchecked against the archive"
else
  for n in $(asked); do grep -qx -- "$n" <<<"$offered" || fail "apt would be asked for $n, which the archive does not offer"; done
fi
[ $status -eq 0 ] && echo "packages: every script asks for its own, none may remove one or ask a question;" \
  "installed as dpkg says, asked for by a name the archive offers"
exit $status
