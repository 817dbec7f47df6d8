# Shared by the project's scripts: Debian packages and the build trees.
# shellcheck shell=bash

KOVRA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
KOVRA_JOBS="${KOVRA_JOBS:-$(nproc 2>/dev/null || echo 2)}"

# Installs the Debian packages that are missing; quiet when none is.
kovra_require_packages() {
  local missing=()
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing Debian packages: ${missing[*]}" >&2
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures and builds the tree in build/<name> (build/ for "main"). Options
# starting with -D go to the configuration; each "--target T" adds a target
# to build instead of all.
kovra_build() {
  local name="$1"
  shift
  local dir="$KOVRA_ROOT/build"
  [ "$name" = main ] || dir="$KOVRA_ROOT/build/$name"
  local configure=() build=() targets=()
  while [ $# -gt 0 ]; do
    case "$1" in
      --target) targets+=("$2"); shift 2 ;;
      *) configure+=("$1"); shift ;;
    esac
  done
  # Every tree compiles through ccache, its cache under build/: a second run,
  # or a fresh clone given that cache, compiles only what changed.
  local launcher=()
  if command -v ccache >/dev/null 2>&1; then
    export CCACHE_DIR="${CCACHE_DIR:-$KOVRA_ROOT/build/ccache}"
    export CCACHE_BASEDIR="$KOVRA_ROOT"
    export CCACHE_NOHASHDIR=1  # another clone of the tree hits the same entries
    export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-5G}"
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$KOVRA_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "${configure[@]}" >/dev/null
  [ ${#targets[@]} -eq 0 ] || build=(--target "${targets[@]}")
  cmake --build "$dir" -j "$KOVRA_JOBS" "${build[@]}"
}
