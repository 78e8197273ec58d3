#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks what a user gets:
# the files in their places, a working installed quorvane, a valid desktop
# entry and AppStream record, and manual page and completion that cover
# every subcommand and option of --help.
# usage: install_test.sh BUILD_DIR SOURCE_DIR WITH_GUI(ON|OFF)
set -euo pipefail
build=$1 source=$2 gui=$3
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null
root="$stage/usr"

expected=(
  bin/quorvane
  share/man/man1/quorvane.1.gz
  share/bash-completion/completions/quorvane
  share/zsh/site-functions/_quorvane
  share/doc/quorvane/README.md
  share/doc/quorvane/LICENSE
)
if [ "$gui" = ON ]; then
  expected+=(
    bin/quorvane-gui
    share/man/man1/quorvane-gui.1.gz
    share/applications/quorvane.desktop
    share/metainfo/org.quorvane.quorvane.metainfo.xml
    share/icons/hicolor/16x16/apps/quorvane.png
    share/icons/hicolor/32x32/apps/quorvane.png
    share/icons/hicolor/48x48/apps/quorvane.png
    share/icons/hicolor/256x256/apps/quorvane.png
    share/icons/hicolor/scalable/apps/quorvane.svg
  )
fi
status=0
for f in "${expected[@]}"; do
  [ -s "$root/$f" ] || { echo "not installed: $f"; status=1; }
done

version=$("$root/bin/quorvane" --version)
echo "installed: $version"
case "$version" in "quorvane "[0-9]*.[0-9]*.[0-9]*) ;; *) echo "unexpected --version: $version"; status=1 ;; esac
digits=$("$root/bin/quorvane" dtmf "$source/samples/dtmf-keys.pcm")
[ "$digits" = "0123456789*#ABCD" ] || { echo "installed quorvane dtmf found '$digits'"; status=1; }

if [ "$gui" = ON ]; then
  for size in 16 32 48 256; do
    file "$root/share/icons/hicolor/${size}x${size}/apps/quorvane.png" | grep -q "$size x $size" ||
      { echo "icon ${size}x${size} has the wrong size"; status=1; }
  done
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate --no-hints "$root/share/applications/quorvane.desktop" || status=1
  fi
  if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$root/share/metainfo/org.quorvane.quorvane.metainfo.xml" || status=1
  fi
fi

if command -v zsh >/dev/null; then
  zsh -n "$root/share/zsh/site-functions/_quorvane" || { echo "the zsh completion does not parse"; status=1; }
fi

gunzip -c "$root/share/man/man1/quorvane.1.gz" >"$stage/quorvane.1"
python3 "$(dirname "$0")/check_docs.py" "$root/bin/quorvane" "$stage/quorvane.1" \
  "$root/share/bash-completion/completions/quorvane" || status=1
exit $status
