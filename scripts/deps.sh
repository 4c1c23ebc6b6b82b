# Sourced by the scripts: installs the Debian packages that building and testing
# need, when the machine lacks any of them (one apt-get update, then one install),
# stops the helpers they start, and writes the Wine prefix's settings they share.
CORVANE_PACKAGES=(g++ cmake ninja-build libgtest-dev mingw-w64 wine wine64 xvfb xdotool xclip
                  imagemagick python3-pytest python3-pil libjpeg-turbo-progs openssl
                  clang lld libclang-rt-14-dev xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
                  python3-werkzeug python3-waitress nginx-light php-cli
                  python3-boto3 python3-prometheus-client memcached
                  swift swift-proxy swift-object swift-container swift-account)

corvane_install_deps() {
  local missing=() p
  for p in "${CORVANE_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  # sudo clears the environment: debconf must be told inside it not to ask.
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q >/dev/null ||
    { echo "apt-get update failed" >&2; return 1; }
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" >/tmp/corvane-apt.log 2>&1 ||
    { tail -20 /tmp/corvane-apt.log >&2; return 1; }
}

# SIGTERM, then SIGKILL after 10 s: a hung child must not hang the script.
stop_pid() {
  kill "$1" 2>/dev/null || return 0
  for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}

# The first lines of a .reg file that stands the local web service in for the
# real one (the prefix's proxy, port $1) and a script in for the browser ($2, a
# Unix path, which Wine runs with the link), up to the X11 driver's key, whose
# values the caller writes.
corvane_prefix_settings() {
  echo "Windows Registry Editor Version 5.00"
  echo
  echo "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings]"
  echo '"ProxyEnable"=dword:00000001'
  echo "\"ProxyServer\"=\"127.0.0.1:$1\""
  echo
  echo "[HKEY_CURRENT_USER\\Software\\Wine\\WineBrowser]"
  echo "\"Browsers\"=\"$(printf '%s' "$2" | sed 's/\\/\\\\/g')\""
  echo
  echo "[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]"
}
