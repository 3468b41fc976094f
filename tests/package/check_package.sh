#!/usr/bin/env bash
# Builds the Debian package from a built tree with CPack and checks it from the outside: lintian
# (an error or a warning fails), its fields and dependencies, the files it installs (and nothing
# else), its maintainer scripts, its Debian documents, the menu entry, and the extracted program
# answering --version and --help without a display.
# usage: check_package.sh <build dir> <version>
set -euo pipefail
bin=$1
version=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

fail() {
    echo "ÉCHEC du paquet : $*" >&2
    exit 1
}

if ! cpack --config "$bin/CPackConfig.cmake" -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log" >&2
    fail "cpack n'a pas construit le paquet"
fi
deb="$tmp/out/quilba_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "pas de $(basename "$deb") : $(ls "$tmp/out")"

if ! lintian --fail-on error,warning "$deb" >"$tmp/lintian.log" 2>&1; then
    cat "$tmp/lintian.log" >&2
    fail "lintian"
fi

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = quilba ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
maintainer=$(field Maintainer)
grep -Eq '^[^<>]+ <[^@<> ]+@[^@<> ]+\.[a-z]+>$' <<<"$maintainer" || fail "Maintainer: $maintainer"
grep -Eqi 'example\.(org|com|net)|localhost|invalid' <<<"$maintainer" && fail "Maintainer d'exemple : $maintainer"
description=$(field Description)
grep -q "loyalty-card" <<<"$description" || fail "description sans texte anglais"
grep -q "programme du comptoir" <<<"$description" || fail "description sans texte français"

# Depends: the shared libraries found by dpkg-shlibdeps, and what the program loads by name.
depends=$(field Depends)
names=$(sed 's/([^)]*)//g; s/|/,/g' <<<"$depends" | tr ',' '\n' | awk '{ print $1 }')
for package in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libcurl4 \
    qt6-qpa-plugins libqt6svg6 qt6-translations-l10n fonts-crosextra-carlito fonts-liberation2 \
    fonts-wine fonts-dejavu-core ca-certificates adduser; do
    grep -qxF "$package" <<<"$names" || fail "Depends sans $package : $depends"
done

# Exactly the program, its menu entry, its icon, its manual page and its Debian documents: no
# local platform, no test, no library.
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | sort >"$tmp/files"
cat >"$tmp/expected" <<LIST
-rw-r--r-- root/root ./usr/share/applications/quilba.desktop
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/quilba.svg
-rw-r--r-- root/root ./usr/share/doc/quilba/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/quilba/copyright
-rw-r--r-- root/root ./usr/share/man/man1/quilba.1.gz
-rwxr-xr-x root/root ./usr/bin/quilba
LIST
sort -o "$tmp/expected" "$tmp/expected"
diff -u "$tmp/expected" "$tmp/files" >&2 || fail "contenu inattendu"

# Maintainer scripts: present, executable, valid shell; postinst makes the group and the folder,
# postrm removes the folder on purge only.
dpkg-deb --control "$deb" "$tmp/control"
for script in postinst postrm; do
    [ -x "$tmp/control/$script" ] || fail "$script absent ou non exécutable"
    sh -n "$tmp/control/$script" || fail "$script : erreur de syntaxe"
done
grep -q "addgroup --quiet --system quilba" "$tmp/control/postinst" || fail "postinst sans le groupe quilba"
grep -q "2775" "$tmp/control/postinst" || fail "postinst sans le mode du dossier de travail"
grep -Eq "^purge\)" "$tmp/control/postrm" || fail "postrm sans purge"

dpkg-deb --extract "$deb" "$tmp/root"
program="$tmp/root/usr/bin/quilba"

# The changelog's last entry is this version; the manual page names every switch and variable.
changelog=$(gzip -dc "$tmp/root/usr/share/doc/quilba/changelog.gz" | head -n 1)
[ "$changelog" = "quilba ($version) stable; urgency=medium" ] || fail "changelog : $changelog"
manual=$(gzip -dc "$tmp/root/usr/share/man/man1/quilba.1.gz")
for word in debug log kestrel nocoupon version help QUILBA_WORKDIR QUILBA_PRINT_DIR QUILBA_UPDATE_URL \
    quilba.ini quilba.log OPTIONS ENVIRONNEMENT FICHIERS; do
    grep -q -- "$word" <<<"$manual" || fail "page de manuel sans $word"
done

# The menu entry is valid and starts the packaged program with the packaged icon.
desktop="$tmp/root/usr/share/applications/quilba.desktop"
desktop-file-validate "$desktop" || fail "quilba.desktop invalide"
grep -qx "Exec=quilba" "$desktop" || fail "Exec de quilba.desktop : $(grep '^Exec=' "$desktop")"
grep -qx "Icon=quilba" "$desktop" || fail "Icon de quilba.desktop : $(grep '^Icon=' "$desktop")"
grep -q "^Comment=.*fidélité" "$desktop" || fail "quilba.desktop sans commentaire français"

# Every library the program needs is found on the system, not in a build tree.
if ldd "$program" | grep -q "not found"; then
    ldd "$program" >&2
    fail "bibliothèques introuvables"
fi
if ldd "$program" | grep -q "$bin"; then
    fail "le programme charge une bibliothèque de l'arbre de construction"
fi

# --version and --help answer without a display and without starting the windows.
quiet_env=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
[ "$("${quiet_env[@]}" "$program" --version)" = "Quilba $version" ] || fail "--version : $("$program" --version)"
help=$("${quiet_env[@]}" "$program" --help)
for word in -debug -log -kestrel -nocoupon QUILBA_WORKDIR QUILBA_PRINT_DIR QUILBA_UPDATE_URL; do
    grep -q -- "$word" <<<"$help" || fail "--help ne cite pas $word"
done

echo "Paquet vérifié : $(basename "$deb"), $(wc -l <"$tmp/files") fichiers, Depends: $depends"
