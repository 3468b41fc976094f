#!/bin/sh
# A key to sign Quilba's update repository with, for the demo and the tests: made once in
# <folder>/gnupg (its own GnuPG home, whose private part never leaves it), its public part written
# to <folder>/quilba-archive-keyring.gpg, the keyring the package ships. Prints the key's
# fingerprint. A production package is signed with the packager's own key instead (see README).
#   archive-key.sh <folder> [name]
set -eu
folder=$1
name=${2:-Quilba (dépôt de démonstration) <depot-demo@quilba.fr>}
mkdir -p "$folder"
GNUPGHOME=$(cd "$folder" && pwd)/gnupg
export GNUPGHOME
if [ ! -d "$GNUPGHOME" ]; then
    mkdir -m 700 "$GNUPGHOME"
fi
fingerprint() {
    gpg --batch --with-colons --list-secret-keys 2>/dev/null | awk -F: '$1 == "fpr" { print $10; exit }'
}
if [ -z "$(fingerprint)" ]; then
    gpg --batch --quiet --pinentry-mode loopback --passphrase '' \
        --quick-generate-key "$name" ed25519 sign never 2>/dev/null
fi
key=$(fingerprint)
# Written only when it changes, so that a build tree that copies it is not configured again.
gpg --batch --export "$key" >"$folder/quilba-archive-keyring.gpg.new"
if cmp -s "$folder/quilba-archive-keyring.gpg.new" "$folder/quilba-archive-keyring.gpg"; then
    rm "$folder/quilba-archive-keyring.gpg.new"
else
    mv "$folder/quilba-archive-keyring.gpg.new" "$folder/quilba-archive-keyring.gpg"
fi
# No agent is left running for a key that is only used now and then.
gpgconf --kill gpg-agent 2>/dev/null || true
echo "$key"
