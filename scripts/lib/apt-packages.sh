# Sourced by the install scripts: install_missing_packages PACKAGE... installs,
# with apt-get, those of the given Debian packages that are not installed yet,
# and says so when none is missing. Needs root, or sudo for a normal user.
install_missing_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done

  if [ ${#missing[@]} -eq 0 ]; then
    echo "All $# packages are installed already."
    return 0
  fi

  local sudo=
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}
