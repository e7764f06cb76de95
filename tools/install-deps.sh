#!/bin/sh
# Installs the Debian packages kaldro needs (only those missing). "--tests" adds what the tests use
# (the Speech Dispatcher test starts a speech-dispatcher of its own with the eSpeak NG module; man and
# gio let the install test open the manual pages and start the desktop entry; file and dpkg-dev let cpack
# find the libraries the Debian package depends on; llvm (llvm-symbolizer) and libc6-dbg let the sanitizers name
# the C library's functions, without which
# the leak suppressions cannot match them; LibreOffice Writer, run headless, turns the example text
# templates into .docx and .odt templates and the letters back into text; zip packs the benchmark's
# large .docx).
set -e
packages="build-essential cmake pkg-config libsdl2-dev libsdl2-ttf-dev libfontconfig-dev fonts-dejavu-core
  libespeak-ng-dev espeak-ng-data libspeechd-dev libutf8proc-dev libpugixml-dev unicode-cldr-core libzip-dev"
if [ "$1" = "--tests" ]; then
  packages="$packages libgtest-dev libgmock-dev googletest libbenchmark-dev espeak-ng wbrazilian xvfb xauth xdotool tmux
    man-db libglib2.0-bin file dpkg-dev
    speech-dispatcher speech-dispatcher-espeak-ng clang libclang-rt-14-dev llvm libc6-dbg
    libreoffice-writer-nogui zip"
fi
missing=""
for package in $packages; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  case "$status" in
    *"install ok installed"*) ;;
    *) missing="$missing $package" ;;
  esac
done
[ -z "$missing" ] && exit 0
echo "Instalando:$missing"
if [ "$(id -u)" = 0 ]; then as_root=""; else as_root="sudo"; fi
$as_root apt-get update -qq
DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq $missing
