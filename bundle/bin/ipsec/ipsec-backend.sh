#!/bin/bash
# Chooses the IPsec backend of the client's IKE daemon and writes the daemon's plugin
# list to the file given (charon-svc.exe runs it at each start; strongswan.conf
# includes the file):
#   kernel-netlink   the kernel's IPsec, where the kernel takes ESP security associations
#   kernel-libipsec  strongSwan's user-space IPsec otherwise (listed before
#                    kernel-netlink, which still handles addresses and routes); its ESP
#                    travels in UDP only, as NAT traversal carries it
# The first line of the file says which, and why.
set -u
# Debian keeps ip in the system folders, which a desktop PATH may lack.
export PATH="${PATH:+$PATH:}/usr/local/sbin:/usr/sbin:/sbin"
[[ $# -eq 1 ]] || { echo "usage: ipsec-backend.sh FILE" >&2; exit 2; }
out=$1

plugins_before="random nonce openssl aes sha1 sha2 md5 hmac gmp kdf pem pkcs1 pkcs8 x509 pubkey"
plugins_after="kernel-netlink socket-default vici"

# One ESP security association of documentation addresses shows whether the kernel
# takes any: added in a network namespace of its own where that is possible, so the
# machine's own associations never see it, else here and removed again at once.
kernel_takes_esp() {
    local key=0x00112233445566778899aabbccddeeff
    local sa=(src 192.0.2.1 dst 192.0.2.2 proto esp spi)
    local keys=(mode tunnel enc 'cbc(aes)' "$key" auth-trunc 'hmac(sha256)' "$key${key#0x}" 128)
    if unshare --net true > /dev/null 2>&1; then
        unshare --net ip xfrm state add "${sa[@]}" 0x4b6f7276 "${keys[@]}" > /dev/null 2>&1
        return
    fi
    local spi
    spi=$(printf '0x%08x' $(((RANDOM << 15 | RANDOM) + 256)))
    ip xfrm state add "${sa[@]}" "$spi" "${keys[@]}" > /dev/null 2>&1 || return 1
    ip xfrm state delete "${sa[@]}" "$spi" > /dev/null 2>&1
    return 0
}

if kernel_takes_esp; then
    backend=kernel-netlink
    reason="the kernel takes ESP security associations: the kernel's IPsec"
    load="$plugins_before $plugins_after"
else
    backend=kernel-libipsec
    reason="the kernel takes no ESP security associations: strongSwan's user-space IPsec"
    load="$plugins_before kernel-libipsec $plugins_after"
fi

# Written whole: a daemon never reads half a list.
tmp=$(mktemp "$out.XXXXXX") || exit 1
if printf '# IPsec backend %s: %s.\nload = %s\n' "$backend" "$reason" "$load" > "$tmp" &&
    chmod 644 "$tmp" && mv -f "$tmp" "$out"; then
    exit 0
fi
rm -f "$tmp"
exit 1
