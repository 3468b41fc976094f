#!/bin/sh
# Quilba's Debian repository of updates, signed: the packages in pool/, their index Packages (and
# Packages.gz), Release with the hashes of the indexes, and InRelease, Release signed with the key.
# A flat repository: apt reads it as "deb [signed-by=<keyring>] <URL> ./". The key is taken from
# GNUPGHOME (the packager's own keyring, or a demo key's folder); the repository is replaced whole.
#   make-repository.sh <repository folder> <key fingerprint> <package.deb>...
set -eu
[ $# -ge 3 ] || {
    echo "usage : make-repository.sh <dossier du dépôt> <empreinte de la clé> <paquet.deb>..." >&2
    exit 2
}
out=$1
key=$2
shift 2
new=$out.new
rm -rf "$new"
mkdir -p "$new/pool"
cp "$@" "$new/pool/"
(
    cd "$new"
    apt-ftparchive packages pool >Packages
    gzip -9nk Packages
    apt-ftparchive -o APT::FTPArchive::Release::Origin=Quilba -o APT::FTPArchive::Release::Label=Quilba \
        -o APT::FTPArchive::Release::Suite=stable \
        -o "APT::FTPArchive::Release::Description=Mises à jour de Quilba" release . >../Release.new
    mv ../Release.new Release
    gpg --batch --yes --pinentry-mode loopback --passphrase '' --local-user "$key" --digest-algo SHA512 \
        --clearsign --output InRelease Release
)
rm -rf "$out"
mv "$new" "$out"
