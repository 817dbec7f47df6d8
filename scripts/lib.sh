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

# Configures (once) and builds the tree in build/<name> or build/ for "main".
kovra_build() {
  local name="$1"
  shift
  local dir="$KOVRA_ROOT/build"
  [ "$name" = main ] || dir="$KOVRA_ROOT/build/$name"
  cmake -S "$KOVRA_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$KOVRA_JOBS"
}
