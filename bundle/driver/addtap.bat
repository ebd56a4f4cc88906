#!/usr/bin/env bash
# Creates one persistent TAP adapter (tap0, tap1, ... the first free name) whose
# alias reads like the Windows driver's description: "TAP-Windows Adapter V9", and
# " #2", " #3" ... for further ones. Exits non-zero when it cannot.
#
# The adapter is the client's own: its name and index are recorded in the client's run
# folder ($KORVA_RUN_DIR, else /run/korva-vpn, folder tap/), so that deltapmade.bat removes
# it again when the client quits, or at the client's next start after a kill.
set -u
# Debian keeps openvpn and ip in the system folders, which a desktop PATH may lack.
export PATH="${PATH:+$PATH:}/usr/local/sbin:/usr/sbin:/sbin"
alias_base="TAP-Windows Adapter V9"

count=0
for dev in /sys/class/net/*; do
    [[ -r $dev/ifalias ]] || continue
    [[ $(cat "$dev/ifalias" 2>/dev/null) == "$alias_base"* ]] && count=$((count + 1))
done

n=0
while [[ -e /sys/class/net/tap$n ]]; do
    n=$((n + 1))
done
dev=tap$n

if ((count == 0)); then
    alias=$alias_base
else
    alias="$alias_base #$((count + 1))"
fi

ip tuntap add dev "$dev" mode tap || { echo "addtap: cannot create $dev" >&2; exit 1; }
if ! ip link set dev "$dev" alias "$alias"; then
    ip tuntap del dev "$dev" mode tap
    echo "addtap: cannot name $dev" >&2
    exit 1
fi
# The index of the new device, as ip lists it.
line=$(ip -o link show dev "$dev" 2>/dev/null)
index=
[[ $line =~ ^([0-9]+): ]] && index=${BASH_REMATCH[1]}
records="${KORVA_RUN_DIR:-/run/korva-vpn}/tap"
if [[ -z $index ]] || ! (umask 077 && mkdir -p -- "$records" && printf '%s\n' "$index" > "$records/$dev"); then
    ip tuntap del dev "$dev" mode tap
    echo "addtap: cannot record $dev" >&2
    exit 1
fi
echo "Created $dev ($alias)"
