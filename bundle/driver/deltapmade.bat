#!/usr/bin/env bash
# Removes the TAP adapters that addtap.bat made for the client, as recorded in the
# client's run folder ($KORVA_RUN_DIR, else /run/korva-vpn, folder tap/). A device is
# removed only while it is still the one that was made (the recorded index, the
# adapter's alias); a record whose device is gone or was replaced is dropped. Exits
# non-zero when a device cannot be removed (its record then stays).
set -u
# Debian keeps ip in the system folders, which a desktop PATH may lack.
export PATH="${PATH:+$PATH:}/usr/local/sbin:/usr/sbin:/sbin"
records="${KORVA_RUN_DIR:-/run/korva-vpn}/tap"
[[ -d $records ]] || exit 0
rc=0
for record in "$records"/*; do
    [[ -f $record && ! -L $record ]] || continue
    dev=${record##*/}
    IFS= read -r index < "$record" || index=
    line=$(ip -o link show dev "$dev" 2>/dev/null) || line=
    current=
    [[ $line =~ ^([0-9]+): ]] && current=${BASH_REMATCH[1]}
    alias=$(cat "/sys/class/net/$dev/ifalias" 2>/dev/null) || alias=
    if [[ -n $current && $current == "$index" && $alias == "TAP-Windows Adapter V9"* ]]; then
        if ! ip tuntap del dev "$dev" mode tap; then
            echo "deltapmade: cannot remove $dev" >&2
            rc=1
            continue
        fi
        echo "Removed $dev"
    fi
    rm -f -- "$record"
done
exit $rc
