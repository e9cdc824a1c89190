#!/usr/bin/env bash
# The package repositories as their users meet them, published by
# packaging/publish.sh and served on 127.0.0.1 by a server each check
# starts and stops:
#   clean-system SUITE FILE  a clean system of the Debian SUITE, made once
#                            and kept (see packaging/chroot.sh), at FILE
#   newer DIST KEYFILE DIR   into DIR, for the checks below: DIST's release;
#                            a newer version, from its source tarball with
#                            the version raised, for this machine's target;
#                            a GnuPG home with the secret of KEYFILE, which
#                            signed DIST, and two more keys, new and stranger
#   debian DIR SUITE FILE    in the clean system FILE, the README's steps,
#                            the dialogue, apt-get source; indexes signed by
#                            a stranger refused, leaving what it had, so the
#                            key is the one Signed-By names; the upgrade
#                            to the newer version; indexes signed by an old
#                            and a new key taken holding either; every
#                            other architecture installed through multiarch
#                            and run under qemu-user
#   dnf DIR                  dnf lists every architecture, takes signed
#                            metadata by either key during a change and
#                            refuses changed metadata, as repo_gpgcheck asks
#   download DIR             a release's folder, fetched as served, verifies
#                            by the served key
# All but dnf and download take root.
# Usage: packaging/checks/repos.sh CHECK ARGUMENT...
# shellcheck source=packaging/lib.sh
. "$(dirname "$0")/../lib.sh"
# shellcheck source=packaging/chroot.sh
. "$root/packaging/chroot.sh"
export LC_ALL=C
check=${1:-}
[ $# -ge 2 ] || usage
case $check in
newer) out=$(realpath -m "${4:?}") ;;
debian | dnf | download) out=$(realpath "$2") && export GNUPGHOME=$out/gnupg ;;
esac
key() {
    awk -v k="$1" '$1 == k { print $2 }' "$out/keys"
}

# serve: a web server on 127.0.0.1 for tmp/served, stopped at the end;
# sets url.
serve() {
    # The log is there before the server's shell opens it, for the loop below.
    : >"$tmp/server.log"
    python3 -u -m http.server --bind 127.0.0.1 --directory "$tmp/served" 0 >>"$tmp/server.log" 2>&1 &
    trap 'kill '$!'; rm -rf "$tmp"' EXIT
    for _ in $(seq 50); do
        url=$(sed -n 's|^Serving HTTP on 127\.0\.0\.1 port \([0-9]*\) .*|http://127.0.0.1:\1|p' "$tmp/server.log")
        [ -z "$url" ] || return 0
        sleep 0.1
    done
    fail "the web server did not start: $(cat "$tmp/server.log")"
}
# publish TREE DIST [SIGNER...]: DIST published into tmp/TREE, signed by
# SIGNER (the release's key where none is given), for url.
publish() {
    local signers=() signer
    for signer in "${@:3}"; do signers+=(--sign "$(key "$signer")"); done
    ((${#signers[@]})) || signers=(--sign "$(key release)")
    "$root/packaging/publish.sh" "${signers[@]}" --url "$url" --dist "$2" "$tmp/$1" >>"$tmp/publish.log" 2>&1 ||
        { cat "$tmp/publish.log"; fail "publish.sh failed"; }
}
# state TREE: the tree served from now on. apt asks for an index only if it
# changed since the time it holds, to the second, and trees made within one
# second would look the same: each tree served is made newer than the last.
state() {
    ln -sfn "$1" "$tmp/served"
    served=$((${served:-$(date +%s)} + 2))
    find "$tmp/$1" -type f -exec touch -d "@$served" {} +
}
# holds_dialogue COMMAND...: COMMAND, given two names, must hold the whole
# dialogue.
holds_dialogue() {
    printf 'Ada\nLovelace\n' | "$@" >"$tmp/dialogue" || fail "$* failed"
    printf 'Please enter your first name: Please enter your last name: First name is: Ada\nLast name is: Lovelace\n' |
        cmp -s - "$tmp/dialogue" || fail "$* wrote: $(cat "$tmp/dialogue")"
}

case $check in
clean-system)
    ln -sfn "$(clean_system "$2")" "$3"
    ;;
newer)
    rm -rf "$out"
    mkdir -p "$out"
    ln -s "$(realpath "$2")" "$out/dist"
    cp -a "${GNUPGHOME:-$HOME/.gnupg}" "$out/gnupg"
    rm -f "$out/gnupg"/S.*
    export GNUPGHOME=$out/gnupg
    {
        echo "release $(gpg --batch --with-colons --show-keys "$3" | awk -F: '$1 == "fpr" { print $10; exit }')"
        echo "new $("$root/packaging/throwaway-key.sh" new)"
        echo "stranger $("$root/packaging/throwaway-key.sh" stranger)"
    } >"$out/keys"
    version=$(release_version "$2")
    newer=${version%.*}.$((${version##*.} + 1))
    host_target=$(target_where deb_arch "$host_arch" name)
    release_at "$2" "$newer" "$out/dist-newer" --sign "$(key release)" --target "$host_target"
    echo "$version $newer" >"$out/versions"
    ;;
debian)
    read -r version newer <"$out/versions"
    serve
    publish v1 "$out/dist"
    cp -a "$tmp/v1" "$tmp/v2"
    publish v2 "$out/dist-newer"
    grep -q '^Acquire-By-Hash: yes$' "$tmp/v2/deb/dists/stable/Release" || fail "Release does not ask for by-hash"
    [ -n "$(find "$tmp/v2/deb/dists/stable/main" -path '*/by-hash/SHA256/*' -print -quit)" ] ||
        fail "no index has its by-hash copy"
    [ -f "$tmp/v2/releases/$version/SHA256SUMS.asc" ] || fail "publishing $newer dropped releases/$version"
    cp -a "$tmp/v1" "$tmp/rotated"
    publish rotated "$out/dist-newer" release new
    cp -a "$tmp/v2" "$tmp/stranger"
    release=$tmp/stranger/deb/dists/stable
    gpg --batch --yes --local-user "$(key stranger)" --clearsign --output "$release/InRelease" "$release/Release"
    gpg --batch --yes --local-user "$(key stranger)" --armor --detach-sign --output "$release/Release.gpg" \
        "$release/Release"

    # The README's steps for Debian, with the URL where the tree is served.
    # shellcheck disable=SC2016 # the backquotes are the README's fences
    steps=$(sed -n '/^### Debian and Ubuntu/,/^###/p' "$root/README.md" | sed -n '/^```/,/^```/p' | sed '1d;$d')
    grep -q '^URL=' <<<"$steps" || fail "the README's Debian steps name no URL"
    # shellcheck disable=SC2001 # a line of several, by its start
    steps=$(sed "s|^URL=.*|URL=$url|" <<<"$steps")
    suite=$3 client=$tmp/client
    inside() {
        chroot "$client" "$@"
    }
    # apt_quiet ARGS...: apt-get must succeed with no warning or error at all.
    apt_quiet() {
        inside apt-get "$@" >"$tmp/apt.log" 2>&1 || { cat "$tmp/apt.log"; fail "$suite: apt-get $* failed"; }
        ! grep -E '^(W|E|N|Err|Warning|Error|Notice):' "$tmp/apt.log" || fail "$suite: apt-get $* was not quiet"
    }
    installed() {
        # shellcheck disable=SC2016 # dpkg-query's own field
        inside dpkg-query -W -f '${Version}' "name-dialogue${1:-}"
    }
    lists() {
        (cd "$client/var/lib/apt/lists" && find . -maxdepth 1 -type f -name '127.0.0.1_*' -exec sha256sum {} + | sort)
    }
    # refused STATE WHAT: apt-get update must fail on STATE and leave the lists.
    refused() {
        state "$1"
        lists >"$tmp/lists.before"
        if inside apt-get update >"$tmp/apt.log" 2>&1 && ! grep -qE '^(W|E|Err|Warning|Error):' "$tmp/apt.log"; then
            cat "$tmp/apt.log"
            fail "$suite: apt-get update took $2"
        fi
        lists | cmp -s - "$tmp/lists.before" || fail "$suite: apt's lists changed after $2"
        [ "$(installed)" = "$version-1" ] || fail "$suite: $2 changed what is installed"
        echo "$suite: refused $2: $(grep -m 1 -E '^(W|E|Warning|Error):' "$tmp/apt.log")"
    }
    mkdir "$client"
    tar -xf "$4" -C "$client"
    # The README's commands as a user types them, who answers yes; the
    # chroot has no /dev/pts for dpkg's log of its output.
    printf 'APT::Get::Assume-Yes "true";\nDpkg::Use-Pty "false";\n' >"$client/etc/apt/apt.conf.d/90check"
    state v1
    inside sh -ec "$steps" </dev/null >"$tmp/steps.log" 2>&1 || { cat "$tmp/steps.log"; fail "$suite: the README's steps failed"; }
    [ "$(installed)" = "$version-1" ] || fail "$suite: the README's steps did not install $version"
    apt_quiet update
    holds_dialogue inside name-dialogue
    inside sh -c 'cd /tmp && apt-get source --download-only name-dialogue' >"$tmp/source.log" 2>&1 ||
        { cat "$tmp/source.log"; fail "$suite: apt-get source failed"; }
    [ -f "$client/tmp/name-dialogue_$version-1.dsc" ] || fail "$suite: apt-get source fetched no .dsc"
    refused stranger "indexes signed by a key it does not hold"
    state v2
    apt_quiet update
    apt_quiet upgrade
    [ "$(installed)" = "$newer-1" ] || fail "$suite: apt-get upgrade did not install $newer"
    holds_dialogue inside name-dialogue
    echo "$suite: upgraded to $newer"
    state rotated
    for holder in release new; do
        gpg --batch --armor --export "$(key "$holder")" >"$client/etc/apt/keyrings/name-dialogue.asc"
        rm -rf "$client/var/lib/apt/lists/"*
        apt_quiet update
    done
    echo "$suite: indexes signed by two keys updated with either"
    # Every other architecture of this suite; the clean system has them.
    for arch in $(inside dpkg --print-foreign-architectures); do
        qemu=$(target_where deb_arch "$arch" emulator)
        cp "$(command -v "$qemu")" "$client/usr/bin/"
        apt_quiet install "name-dialogue:$arch"
        [ "$(installed ":$arch")" = "$version-1" ] || fail "$suite: name-dialogue:$arch is not installed"
        holds_dialogue inside "/usr/bin/$qemu" /usr/bin/name-dialogue
        echo "$suite: name-dialogue:$arch installed and ran under $qemu"
    done
    ;;
dnf)
    read -r version newer <"$out/versions"
    serve
    publish v2 "$out/dist"
    publish v2 "$out/dist-newer"
    cp -a "$tmp/v2" "$tmp/rotated"
    publish rotated "$out/dist-newer" release new
    state v2
    dnf_dir=$tmp/dnf
    mkdir -p "$dnf_dir/repos" "$dnf_dir/root"
    curl -fsS -o "$dnf_dir/repos/name-dialogue.repo" "$url/name-dialogue.repo"
    dnf=(dnf -y --installroot="$dnf_dir/root" --setopt=reposdir="$dnf_dir/repos"
        --setopt=cachedir="$dnf_dir/cache" --releasever=1 --disableplugin='*')
    "${dnf[@]}" makecache >"$tmp/dnf.log" 2>&1 || { cat "$tmp/dnf.log"; fail "dnf makecache failed"; }
    for rpm_arch in $(targets rpm_arch | grep -vx -- -); do
        "${dnf[@]}" --forcearch="$rpm_arch" repoquery --qf '%{name}-%{version}-%{release}.%{arch}' \
            name-dialogue >"$tmp/query" 2>/dev/null
        grep -qx "name-dialogue-$version-1.$rpm_arch" "$tmp/query" ||
            fail "dnf lists no $rpm_arch .rpm: $(cat "$tmp/query")"
    done
    echo "dnf: every architecture listed"
    cp -a "$tmp/v2" "$tmp/changed"
    sed -i 's|<revision>\([0-9]*\)</revision>|<revision>1\1</revision>|' "$tmp/changed/rpm/repodata/repomd.xml"
    ! cmp -s "$tmp/v2/rpm/repodata/repomd.xml" "$tmp/changed/rpm/repodata/repomd.xml" || fail "repomd.xml was not changed"
    state changed
    if "${dnf[@]}" clean all >/dev/null 2>&1 && "${dnf[@]}" makecache >"$tmp/dnf.log" 2>&1; then
        cat "$tmp/dnf.log"
        fail "dnf took a changed repomd.xml"
    fi
    echo "dnf: refused a changed repomd.xml: $(grep -m 1 -i 'signature verification' "$tmp/dnf.log" || tail -n 1 "$tmp/dnf.log")"
    state rotated
    for holder in release new; do
        gpg --batch --armor --export "$(key "$holder")" >"$tmp/rotated/only-this-key.asc"
        sed "s|^gpgkey=.*|gpgkey=$url/only-this-key.asc|" "$tmp/rotated/name-dialogue.repo" \
            >"$dnf_dir/repos/name-dialogue.repo"
        rm -rf "$dnf_dir/cache"
        "${dnf[@]}" makecache >"$tmp/dnf.log" 2>&1 ||
            { cat "$tmp/dnf.log"; fail "dnf refused metadata signed by two keys, holding one"; }
    done
    echo "dnf: metadata signed by two keys taken with either"
    ;;
download)
    read -r version _ <"$out/versions"
    serve
    publish v2 "$out/dist"
    state v2
    download=$tmp/download
    mkdir "$download"
    curl -fsS -o "$tmp/key.asc" "$url/name-dialogue.asc"
    while read -r _ file; do
        curl -fsS -o "$download/$file" "$url/releases/$version/$file"
    done < <(printf '0 %s\n' SHA256SUMS SHA256SUMS.asc; cat "$tmp/v2/releases/$version/SHA256SUMS")
    verify_sums "$tmp/key.asc" "$download"
    echo "download: every file of the release, and the key, served where the README says"
    ;;
*) usage ;;
esac
