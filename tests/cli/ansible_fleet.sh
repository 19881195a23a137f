#!/usr/bin/env bash
# The example playbook against three simulated encoders on this machine: every site is
# programmed and verified; a second run changes nothing.
# Usage: ansible_fleet.sh QUILLMARK_CLI QUILLMARK_ENCODER_SIM EXAMPLE_DIR
set -euo pipefail
cli=$1 sim=$2 example=$3
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

export HOME=$work XDG_CONFIG_HOME=$work/config ANSIBLE_NOCOLOR=1 ANSIBLE_FORCE_COLOR=0
# A config of our own, so that none of the machine's applies.
printf "[defaults]\n" >"$work/ansible.cfg"
export ANSIBLE_LOCAL_TEMP=$work/ansible-tmp ANSIBLE_HOME=$work/ansible ANSIBLE_CONFIG=$work/ansible.cfg
export LC_ALL=C.UTF-8
ports=(COM1 COM2 COM3)
for port in "${ports[@]}"; do
    "$sim" --no-pace --link "$port" >/dev/null 2>&1 &
    pids+=($!)
done
for port in "${ports[@]}"; do
    for _ in $(seq 100); do [ -e "$XDG_CONFIG_HOME/Tarvenor/Quillmark/$port" ] && break; sleep 0.05; done
done

play() {
    ansible-playbook -i "$example/inventory.yml" "$example/program.yml" -f 3 \
        -e "quillmark_cli=$cli" | tee "$work/play.log"
}
recap() { # host -> "ok=N changed=N ... failed=N"
    sed -n "s/^$1 *: //p" "$work/play.log" | tr -s ' '
}
expect() {
    local host=$1 want=$2 got
    got=$(recap "$host")
    case "$got" in
    *"changed=$want "*"failed=0"*) ;;
    *) echo "FAIL: $host: expected changed=$want, failed=0; got: $got" >&2; exit 1 ;;
    esac
}

play
for host in north south east; do expect "$host" 1; done
i=0
for host in north south east; do
    "$cli" diff "$example/stations/$host.json" "${ports[$i]}" || {
        echo "FAIL: $host's encoder does not hold its station" >&2; exit 1; }
    i=$((i + 1))
done

play
for host in north south east; do expect "$host" 0; done
echo "PASS"
