#!/usr/bin/env bash
# The example playbook against three simulated encoders on this machine, the third reached
# through ser2net by RFC 2217: check mode compares only (3 changed, no write frame reaches
# any encoder), an apply programs and verifies all three, a second apply changes nothing.
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
fail() { echo "FAIL: $*" >&2; exit 1; }

export HOME=$work XDG_CONFIG_HOME=$work/config ANSIBLE_NOCOLOR=1 ANSIBLE_FORCE_COLOR=0
# A config of our own, so that none of the machine's applies.
printf "[defaults]\n" >"$work/ansible.cfg"
export ANSIBLE_LOCAL_TEMP=$work/ansible-tmp ANSIBLE_HOME=$work/ansible ANSIBLE_CONFIG=$work/ansible.cfg
export LC_ALL=C.UTF-8
config=$XDG_CONFIG_HOME/Tarvenor/Quillmark
mkdir -p "$config"
ports=(COM1 COM2 COM3)
hosts=(north south east)

for port in COM1 COM2; do
    "$sim" --no-pace --link "$port" --log "$work/$port.log" >/dev/null 2>&1 &
    pids+=($!)
done
# COM3: the encoder behind ser2net, its entry naming the server.
"$sim" --no-pace --log "$work/COM3.log" >"$work/COM3.pty" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/COM3.pty" ] && break; sleep 0.05; done
tcp=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/ser2net.yaml" <<YAML
%YAML 1.1
---
connection: &encoder
  accepter: telnet(rfc2217),tcp,127.0.0.1,$tcp
  connector: serialdev,$(head -1 "$work/COM3.pty"),2400n81,local
YAML
/usr/sbin/ser2net -n -c "$work/ser2net.yaml" >"$work/ser2net.log" 2>&1 &
pids+=($!)
echo "rfc2217://127.0.0.1:$tcp" >"$config/COM3"
for port in COM1 COM2; do
    for _ in $(seq 100); do [ -e "$config/$port" ] && break; sleep 0.05; done
done
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$tcp") 2>/dev/null && break; sleep 0.05; done

play() {
    ansible-playbook -i "$example/inventory.yml" "$example/program.yml" -f 3 \
        -e "quillmark_cli=$cli" "$@" | tee "$work/play.log"
}
expect() { # changed count every host must report
    local host got
    for host in "${hosts[@]}"; do
        got=$(sed -n "s/^$host *: //p" "$work/play.log" | tr -s ' ')
        case "$got" in
        *"changed=$1 "*"failed=0"*) ;;
        *) fail "$host: expected changed=$1, failed=0; got: $got" ;;
        esac
    done
}
writes() { cat "$work"/COM?.log | grep -cE '^rx (0[1-5]|FE)' || true; }

play --check --diff
expect 1
grep -q 'frames\[0\].ps\[0\]: "NORTE FM"' "$work/play.log" || fail "--diff shows no fields"
[ "$(writes)" = 0 ] || fail "check mode wrote to an encoder"

play
expect 1
[ "$(writes)" -gt 0 ] || fail "no write frame in the encoders' logs: the check above saw nothing"
for i in 0 1 2; do
    "$cli" diff "$example/stations/${hosts[$i]}.json" "${ports[$i]}" >/dev/null ||
        fail "${hosts[$i]}'s encoder does not hold its station"
done

play
expect 0
echo "PASS"
