#!/usr/bin/env bash
# The example playbook against N paced simulated encoders at once (forks N), against one
# site alone: the wall time of each apply (every encoder erased, so every site is read,
# programmed and verified), and their ratio. The target is 1.3 for N = 20.
# Usage: fleet.sh QUILLMARK_CLI QUILLMARK_ENCODER_SIM EXAMPLE_DIR [N]
set -euo pipefail
cli=$1 sim=$2 example=$3 sites=${4:-20}
work=$(mktemp -d)
pids=()
stop_encoders() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    pids=()
}
trap 'stop_encoders; rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config ANSIBLE_NOCOLOR=1
printf "[defaults]\n" >"$work/ansible.cfg"
export ANSIBLE_LOCAL_TEMP=$work/ansible-tmp ANSIBLE_HOME=$work/ansible ANSIBLE_CONFIG=$work/ansible.cfg
export LC_ALL=C.UTF-8

# Seconds one apply takes over n freshly erased encoders.
apply() {
    local n=$1 i
    {
        echo "sites:"
        echo "  vars: {ansible_connection: local, ansible_python_interpreter: \"{{ ansible_playbook_python }}\"}"
        echo "  hosts:"
        for i in $(seq "$n"); do echo "    site$i: {quillmark_port: COM$i}"; done
    } >"$work/inventory.yml"
    for i in $(seq "$n"); do
        "$sim" --link "COM$i" >/dev/null 2>&1 &
        pids+=($!)
    done
    for i in $(seq "$n"); do
        until [ -e "$XDG_CONFIG_HOME/Tarvenor/Quillmark/COM$i" ]; do sleep 0.05; done
    done
    local start end
    start=$(date +%s.%N)
    ansible-playbook -i "$work/inventory.yml" "$example/program.yml" -f "$n" \
        -e "quillmark_cli=$cli" -e "station_file=$example/stations/north.json" >"$work/play.log" ||
        { cat "$work/play.log" >&2; exit 1; }
    end=$(date +%s.%N)
    stop_encoders
    grep -q "changed=1" "$work/play.log" || { cat "$work/play.log" >&2; exit 1; }
    python3 -c "print($end - $start)"
}

one=$(apply 1)
many=$(apply "$sites")
printf "load average: %s\n" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf "one site: %.2f s, %d sites (forks %d): %.2f s, ratio %.2f (target 1.3)\n" \
    "$one" "$sites" "$sites" "$many" "$(python3 -c "print($many / $one)")"
