# Shared by the scripts: packages, builds and the private Wine prefixes.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"

# What each script needs from Debian. Playing needs the cross compiler and Wine alone; a
# player's desktop is never asked for the test tools. "NEW|OLD" names a renamed package: either
# will do, the first the archive has is installed (Debian 13 and Ubuntu 24.04 renamed libasound2).
playPackages=(cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
  "libasound2t64|libasound2" fonts-liberation x11-utils)
releasePackages=(cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 git python3)
# strace: the tests' builds follow every file windres reads (see CMakeLists.txt). libclang-rt-dev
# follows the release's default clang (14 on Debian 12, 19 on Debian 13).
testPackages=("${playPackages[@]}" git python3 g++ googletest mingw-w64-tools xvfb xdotool openbox x11-apps
  imagemagick clang libclang-rt-dev strace)
# The benchmark builds natively and for Windows (both configured with the tests, hence GoogleTest's
# sources) and runs under Wine in Xvfb with openbox; PulseAudio it asks for on its own.
benchPackages=(cmake make g++ googletest g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
  "libasound2t64|libasound2" fonts-liberation xvfb openbox)

# installedNames: every installed package's name and every name one provides, a line each. A
# renamed package keeps its old name only as a provided one: dpkg never calls that installed.
installedNames() {
  { dpkg-query -W -f='${db:Status-Abbrev} ${Package}, ${Provides}\n' 2>/dev/null || true; } |
    sed -n 's/^.i. *//p' | tr ',' '\n' | sed 's/ *(.*//; s/^ *//; /^$/d'
}

# ensurePackages WHAT PACKAGE...: installs the missing ones, wanted for WHAT, asking apt nothing
# when none is missing. Never removes a package: where apt would have to (pulseaudio on a
# PipeWire desktop), it stops and says which.
ensurePackages() {
  local what=$1 missing=() p alt have
  shift
  have=$(installedNames)
  for p; do
    local found=""
    for alt in ${p//|/ }; do grep -qx -- "$alt" <<<"$have" && found=1; done
    [ -n "$found" ] || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo="" log i name updated=""
  # sudo resets the environment: the no-questions setting is passed on through env, after it.
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  log=$(mktemp)
  # Of a renamed package, the first name the archive offers. Where apt's lists offer none (a new
  # system has no lists yet, and unstable offers only the new name), they are read afresh first;
  # failing that, the last name, for apt to say what it makes of it.
  for i in "${!missing[@]}"; do
    p=${missing[$i]}
    [ "$p" = "${p%|*}" ] && continue
    while :; do
      alt=""
      for name in ${p//|/ }; do
        # All of apt-cache's output read: grep -q would leave it a broken pipe, which pipefail counts.
        apt-cache policy "$name" 2>/dev/null | grep 'Candidate: [^(]' >/dev/null && { alt=$name; break; }
      done
      [ -z "$alt" ] && [ -z "$updated" ] || break
      updated=1
      $sudo apt-get update -qq >"$log" 2>&1
    done
    missing[$i]=${alt:-${p##*|}}
  done
  echo "== Installing for $what: ${missing[*]}"
  if { [ -n "$updated" ] || $sudo apt-get update -qq >"$log" 2>&1; } &&
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-remove "${missing[@]}" >>"$log" 2>&1; then
    rm -f "$log"
    return 0
  fi
  local conflict=""
  for p in "${missing[@]}"; do # apt's dry run, as any user: what installing P would remove
    local removed
    removed=$(apt-get -s install "$p" 2>/dev/null | sed -n 's/^Remv \([^ ]*\).*/\1/p' | tr '\n' ' ') || true
    [ -z "$removed" ] || { echo "Not installed: $p, wanted for $what, would remove ${removed% }" >&2; conflict=1; }
  done
  [ -n "$conflict" ] && echo "Nothing was removed or installed." >&2 || cat "$log" >&2
  rm -f "$log"
  return 1
}

# Warnings stop only the developers' builds (scripts/test sets werror=ON): a player's or a
# release's build prints them and goes on, so that a later compiler's new warning never keeps
# anyone from playing. Always passed, so that a build folder never keeps an earlier setting.
werror=OFF

# configureAndBuild DIR TARGET [cmake arguments...]: TARGET "all" builds everything.
configureAndBuild() {
  local dir=$1 target=$2; shift 2
  echo "== Building $dir"
  mkdir -p "$dir"
  if ! { cmake -S "$root" -B "$dir" -DKARVEL_WERROR=$werror "$@" && cmake --build "$dir" -j "$(nproc)" --target "$target"; } >"$dir/build.log" 2>&1; then
    grep -E -A5 "error|Error" "$dir/build.log" | head -60
    echo "Build failed: $dir (full log in $dir/build.log)"
    return 1
  fi
  # A clean build has none: under set -e the empty grep must not end the script.
  grep -E -A2 "warning:" "$dir/build.log" | grep -vE '^\[ *[0-9]+%\]|^--$' | head -40 || true
}

# buildWindows TARGET
buildWindows() {
  configureAndBuild "$build/win" "$1" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake"
}

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# findWineServer: Wine's server, found as Wine's own tools find it: WINESERVER when set, then the
# PATH, then where the installed package keeps it (Debian unstable's has no launcher on the PATH).
# Exported as KARVEL_WINESERVER, the one every script and test calls.
findWineServer() {
  local server=${WINESERVER:-} file
  [ -n "$server" ] || server=$(command -v wineserver) ||
    for file in $(dpkg-query -L wine64 wine 2>/dev/null | grep -E '/wineserver(64)?$'); do
      [ -x "$file" ] && server=$file && break
    done
  [ -n "$server" ] && [ -x "$server" ] ||
    { echo "Wine's server not found: not in WINESERVER, on the PATH or in the package wine" >&2; return 1; }
  export KARVEL_WINESERVER=$server
}

# prepareWinePrefix DIR [silent]: a private prefix inside the build folder;
# the tests' prefix has no sound driver, so nothing beeps while they run.
prepareWinePrefix() {
  findWineServer || return 1
  export WINEPREFIX=$1
  [ -f "$WINEPREFIX/.karvel-ready" ] && return 0
  echo "== Preparing the Wine prefix (about 20 s, once)"
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  "$KARVEL_WINESERVER" -w
  # Arial is not on Linux: its metric twin keeps text where it would be on Windows.
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans' /f >/dev/null 2>&1
  if [ "${2:-}" = silent ]; then
    wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d '' /f >/dev/null 2>&1
  fi
  "$KARVEL_WINESERVER" -w
  touch "$WINEPREFIX/.karvel-ready"
}
