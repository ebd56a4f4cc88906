# Sourced by `wireguard`: where a tunnel's name (the profile name, taken from its .conf
# file name) becomes a Linux interface name. The bundle's wg program (bundle/wg) and the
# client map names by the same rule.
#
# Linux takes at most 15 bytes of [A-Za-z0-9_=+.-] as an interface name. A profile
# name that is one is used as it is; any other maps to "wg" and the first 13 hex
# digits of its SHA-256, which is stable and the same for every caller.

# Interface copies of the installed configurations and the tunnel names they stand for.
KORVA_WG_RUNDIR=${KORVA_WG_RUNDIR:-/run/korva-wireguard}

korva_ifname() {
    local korva_name
    korva_ifname_to korva_name "$1"
    printf '%s\n' "$korva_name"
}

# The same into the variable named first, without a subshell for the usual name.
korva_ifname_to() {
    local -n korva_out=$1
    local korva_in=$2
    if [[ $korva_in =~ ^[A-Za-z0-9_=+.-]{1,15}$ && $korva_in != "." && $korva_in != ".." ]]; then
        korva_out=$korva_in
    else
        local korva_sum
        korva_sum=$(printf '%s' "$korva_in" | sha256sum)
        korva_out=wg${korva_sum:0:13}
    fi
}
