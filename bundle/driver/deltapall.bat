#!/usr/bin/env bash
# Removes every TAP adapter that addtap.bat created (those whose alias begins
# "TAP-Windows Adapter V9"). Exits non-zero when one cannot be removed.
set -u
# Debian keeps openvpn and ip in the system folders, which a desktop PATH may lack.
export PATH="${PATH:+$PATH:}/usr/local/sbin:/usr/sbin:/sbin"
rc=0
for dev in /sys/class/net/*; do
    [[ -r $dev/ifalias ]] || continue
    [[ $(cat "$dev/ifalias" 2>/dev/null) == "TAP-Windows Adapter V9"* ]] || continue
    name=$(basename "$dev")
    if ip tuntap del dev "$name" mode tap; then
        echo "Removed $name"
    else
        echo "deltapall: cannot remove $name" >&2
        rc=1
    fi
done
exit $rc
