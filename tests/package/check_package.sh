#!/usr/bin/env bash
# Builds the Debian package from a built tree with CPack and checks it from the outside: lintian
# (an error or a warning fails), its fields and dependencies, the files it installs (and nothing
# else), its maintainer scripts, its Debian documents, the menu entry, what the updates need (the
# installer, its polkit action, the repository's public key and nothing private), and the
# extracted program answering --version and --help without a display.
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
    fonts-wine fonts-dejavu-core ca-certificates adduser apt; do
    grep -qxF "$package" <<<"$names" || fail "Depends sans $package : $depends"
done

# Exactly the program, its menu entry, its icon, its manual page, its Debian documents and the
# update's installer, polkit action and keyring: no local platform, no test, no library.
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | sort >"$tmp/files"
cat >"$tmp/expected" <<LIST
-rw-r--r-- root/root ./usr/share/applications/quilba.desktop
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/quilba.svg
-rw-r--r-- root/root ./usr/share/doc/quilba/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/quilba/copyright
-rw-r--r-- root/root ./usr/share/man/man1/quilba.1.gz
-rw-r--r-- root/root ./usr/share/keyrings/quilba-archive-keyring.gpg
-rw-r--r-- root/root ./usr/share/polkit-1/actions/fr.quilba.mise-a-jour.policy
-rwxr-xr-x root/root ./usr/bin/quilba
-rwxr-xr-x root/root ./usr/libexec/quilba/quilba-update
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

# The update: the installer is plain shell; polkit's action names it, asks an administrator every
# time and speaks French; the keyring is the build's public key, one key, nothing secret in it.
installer="$tmp/root/usr/libexec/quilba/quilba-update"
sh -n "$installer" || fail "quilba-update : erreur de syntaxe"
policy="$tmp/root/usr/share/polkit-1/actions/fr.quilba.mise-a-jour.policy"
xmllint --noout "$policy" || fail "action polkit mal formée"
xpath() { xmllint --xpath "$1" "$policy"; }
[ "$(xpath 'string(//action[@id="fr.quilba.mise-a-jour"]/annotate[@key="org.freedesktop.policykit.exec.path"])')" = \
    /usr/libexec/quilba/quilba-update ] || fail "l'action polkit ne désigne pas l'installateur"
for answer in allow_any allow_inactive allow_active; do
    [ "$(xpath "string(//action/defaults/$answer)")" = auth_admin ] || fail "polkit $answer : pas auth_admin"
done
xpath 'string(//action/message)' | grep -q "administrateur" || fail "message polkit sans texte français"
keyring="$tmp/root/usr/share/keyrings/quilba-archive-keyring.gpg"
cmp -s "$keyring" "$bin/src/share/keyrings/quilba-archive-keyring.gpg" || fail "le trousseau n'est pas celui de la construction"
mkdir -m 700 "$tmp/gnupg"
keys=$(GNUPGHOME="$tmp/gnupg" gpg --batch --with-colons --show-keys "$keyring" 2>/dev/null)
[ "$(grep -c '^pub:' <<<"$keys")" = 1 ] || fail "le trousseau doit tenir une clé publique : $keys"
grep -q '^sec' <<<"$keys" && fail "le trousseau contient une clé privée"
GNUPGHOME="$tmp/gnupg" gpgconf --kill gpg-agent 2>/dev/null || true

# --version and --help answer without a display and without starting the windows.
quiet_env=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
[ "$("${quiet_env[@]}" "$program" --version)" = "Quilba $version" ] || fail "--version : $("$program" --version)"
help=$("${quiet_env[@]}" "$program" --help)
for word in -debug -log -kestrel -nocoupon QUILBA_WORKDIR QUILBA_PRINT_DIR QUILBA_UPDATE_URL; do
    grep -q -- "$word" <<<"$help" || fail "--help ne cite pas $word"
done

echo "Paquet vérifié : $(basename "$deb"), $(wc -l <"$tmp/files") fichiers, Depends: $depends"
