#!/usr/bin/env bash
# Makes a throwaway signing key in GnuPG's home (GNUPGHOME), of the kind
# packaging/README.md asks of the real one: an RSA 4096 primary key that only
# certifies, an RSA 4096 subkey that signs, SHA-512 binding signatures, a
# year's validity, and no passphrase. Prints its fingerprint. For tests only.
# Usage: packaging/throwaway-key.sh NAME
# shellcheck source=packaging/lib.sh
. "$(dirname "$0")/lib.sh"
{ [ $# -eq 1 ] && [ "${1#-}" = "$1" ]; } || usage
name=$1
gpg --batch --quiet --cert-digest-algo SHA512 --personal-digest-preferences SHA512 \
    --gen-key <<PARAMETERS
%no-protection
Key-Type: RSA
Key-Length: 4096
Key-Usage: cert
Subkey-Type: RSA
Subkey-Length: 4096
Subkey-Usage: sign
Name-Real: name-dialogue $name (throwaway)
Name-Email: $name@name-dialogue.invalid
Expire-Date: 1y
%commit
PARAMETERS
gpg --batch --with-colons --list-secret-keys "<$name@name-dialogue.invalid>" 2>/dev/null |
    awk -F: '$1 == "fpr" { print $10; exit }'
