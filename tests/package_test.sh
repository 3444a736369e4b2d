#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it without
# installing it on this machine: its files, its control fields, the desktop
# entry, the AppStream metadata, lintian; then installs it into a throw-away
# root, runs what it installed, and removes it again.
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/tessaly_*.deb)
echo "package: $(basename "$deb")"

# The files it holds.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's#^\./#/#' | grep -v '/$' | sort > "$work/files"
expected=(
  /usr/bin/tessaly /usr/bin/tessaly-import /usr/bin/pdx
  /usr/share/applications/com.harbek.Tessaly.desktop
  /usr/share/metainfo/com.harbek.Tessaly.metainfo.xml
  /usr/share/icons/hicolor/scalable/apps/tessaly.svg
  /usr/share/icons/hicolor/48x48/apps/tessaly.png
  /usr/share/icons/hicolor/256x256/apps/tessaly.png
  /usr/share/man/man1/tessaly.1.gz /usr/share/man/man1/tessaly-import.1.gz /usr/share/man/man1/pdx.1.gz
  /usr/share/man/pt_BR/man1/tessaly.1.gz /usr/share/man/pt_BR/man1/tessaly-import.1.gz
  /usr/share/man/pt_BR/man1/pdx.1.gz
  /usr/share/doc/tessaly/copyright /usr/share/doc/tessaly/changelog.Debian.gz
  /usr/share/bash-completion/completions/tessaly-import /usr/share/bash-completion/completions/pdx
)
for f in "${expected[@]}"; do grep -qx "$f" "$work/files" || fail "the package lacks $f"; done
grep -v '^/usr/' "$work/files" && fail "files outside /usr"

# Its control fields. Each is read whole before it is searched: with pipefail,
# a grep -q that stops at its match would fail the pipeline by the SIGPIPE
# its writer then meets.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tessaly ] || fail "package name"
[ "$(field Version)" = "$version-1" ] || fail "version $(field Version), not $version-1"
for dep in libqt6widgets6 libqt6core6 libpugixml1v5 qt6-translations-l10n qt6-qpa-plugins fonts-wine; do
  [[ "$(field Depends)" == *"$dep"* ]] || fail "Depends lacks $dep"
done
[ "$(field Recommends)" = wine ] || fail "Recommends"
[[ "$(field Description)" == *"Importa clientes e produtos"* ]] || fail "no Portuguese description"

# Desktop entry, AppStream metadata, lintian.
dpkg-deb -x "$deb" "$work/tree"
desktop-file-validate "$work/tree/usr/share/applications/com.harbek.Tessaly.desktop"
appstreamcli validate --no-net "$work/tree/usr/share/metainfo/com.harbek.Tessaly.metainfo.xml" >/dev/null
lintian --allow-root "$deb" > "$work/lintian" 2>&1 || true
cat "$work/lintian"
grep -q '^E:' "$work/lintian" && fail "lintian reports errors"

# Installed into a root of its own, then removed: every file comes and goes.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-depends --force-not-root --force-script-chrootless --log=/dev/null -i "$deb" >/dev/null 2>&1 \
  || dpkg --root="$root" --force-depends --force-script-chrootless --log=/dev/null -i "$deb" >/dev/null
# One version everywhere; the window's program answers without a display.
[ "$("$root/usr/bin/tessaly-import" --version)" = "tessaly-import $version" ] || fail "tessaly-import --version"
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/tessaly" --version)" = "tessaly $version" ] || fail "tessaly --version"
for page in "$root"/usr/share/man/man1/*.1.gz "$root"/usr/share/man/pt_BR/man1/*.1.gz; do
  [[ "$(zcat "$page" | head -1)" == *"\"Tessaly $version\""* ]] || fail "$page does not name version $version"
done

dpkg --root="$root" --force-depends --force-script-chrootless --log=/dev/null -r tessaly >/dev/null
left=$( (find "$root/usr" -type f 2>/dev/null || true) | wc -l)
[ "$left" -eq 0 ] || fail "$left files left after removal"
echo "package checked"
