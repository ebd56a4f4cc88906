# Sourced by `wireguard` and `wg`: the one place where a tunnel's name (the profile
# name, taken from its .conf file name) becomes a Linux interface name and back.
#
# Linux takes at most 15 bytes of [A-Za-z0-9_=+.-] as an interface name. A profile
# name that is one is used as it is; any other maps to "wg" and the first 13 hex
# digits of its SHA-256, which is stable and the same for every caller.

# Interface copies of the installed configurations and the tunnel names they stand for.
KORVA_WG_RUNDIR=${KORVA_WG_RUNDIR:-/run/korva-wireguard}

korva_ifname() {
    local name=$1
    if [[ $name =~ ^[A-Za-z0-9_=+.-]{1,15}$ && $name != "." && $name != ".." ]]; then
        printf '%s\n' "$name"
    else
        local sum
        sum=$(printf '%s' "$name" | sha256sum)
        printf 'wg%s\n' "${sum:0:13}"
    fi
}

# The tunnel name an interface stands for: the name recorded when the tunnel was
# installed, else the interface name itself.
korva_tunnelname() {
    local ifname=$1
    if [[ -f $KORVA_WG_RUNDIR/$ifname.name ]]; then
        cat -- "$KORVA_WG_RUNDIR/$ifname.name"
    else
        printf '%s\n' "$ifname"
    fi
}
