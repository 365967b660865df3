# Shared by scripts/test and scripts/run: packages, builds and the private Wine prefix.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"

packages=(
  cmake make g++ googletest
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
  wine wine64 libasound2 xvfb xdotool openbox x11-apps x11-utils fonts-liberation imagemagick python3 pulseaudio
  clang libclang-rt-14-dev
)

# Installs the Debian packages that are missing; nothing when all are there.
ensurePackages() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

# configureAndBuild DIR TARGET [cmake arguments...]: TARGET "all" builds everything.
configureAndBuild() {
  local dir=$1 target=$2; shift 2
  echo "== Building $dir"
  mkdir -p "$dir"
  if ! { cmake -S "$root" -B "$dir" -DKARVEL_WERROR=ON "$@" && cmake --build "$dir" -j "$(nproc)" --target "$target"; } >"$dir/build.log" 2>&1; then
    grep -E -A5 "error|Error" "$dir/build.log" | head -60
    echo "Build failed: $dir (full log in $dir/build.log)"
    return 1
  fi
}

# buildWindows TARGET
buildWindows() {
  configureAndBuild "$build/win" "$1" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake"
}

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# prepareWinePrefix DIR [silent]: a private prefix inside the build folder;
# the tests' prefix has no sound driver, so nothing beeps while they run.
prepareWinePrefix() {
  export WINEPREFIX=$1
  [ -f "$WINEPREFIX/.karvel-ready" ] && return 0
  echo "== Preparing the Wine prefix (about 15 s, once)"
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  # Arial is not on Linux: its metric twin keeps text where it would be on Windows.
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans' /f >/dev/null 2>&1
  if [ "${2:-}" = silent ]; then
    wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d '' /f >/dev/null 2>&1
  fi
  wineserver -w
  touch "$WINEPREFIX/.karvel-ready"
}
