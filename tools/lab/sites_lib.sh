# shellcheck shell=bash
# Many sites in one lab, for the Ansible collection's lab test and benchmark:
# a controller namespace and SITES sites, each a lab of its own (workstation
# and devices namespaces, every site with the same private addresses), the
# workstation joined to the controller by a management link (172.30.K.0/24,
# the controller .1, site K .2) and running its own sshd there. The sshd
# listens on the management address only, with host and client keys made for
# this run, and is stopped by its PID. Nothing has a route out of the lab.
#
# sites_begin NAME SITES [lab up options]: skips (77) without root,
# namespaces, ansible-playbook or sshd; sets SITES_TMP, SITES_CTL (the
# controller namespace), SITE_LAB[K] (each site's lab name) and tears
# everything down on every way out. sites_devsim K [devsim args] starts a
# site's fleet (SITE_DEVSIM_LOG[K]); sites_inventory writes an inventory of
# the sites' connection settings; sites_playbook ARGS runs ansible-playbook on
# the controller.

source "$(dirname "${BASH_SOURCE[0]}")/lab_test_lib.sh"
SITES_TMP=
SITES_CTL=
SITES_COUNT=0
declare -a SITE_LAB SITE_SSHD SITE_DEVSIM_LOG

sites_end() {
    local status=$? k pid
    trap - EXIT INT TERM
    # The SSH connections the controller kept open for reuse.
    [[ -n "$SITES_CTL" ]] && for pid in $(ip netns pids "$SITES_CTL" 2>/dev/null); do kill -TERM "$pid" 2>/dev/null; done
    for k in "${!SITE_SSHD[@]}"; do
        kill -TERM "${SITE_SSHD[$k]}" 2>/dev/null || true
        wait "${SITE_SSHD[$k]}" 2>/dev/null || true
    done
    for k in "${!SITE_LAB[@]}"; do
        if ((status != 0)) && [[ -f /run/quillane-lab/${SITE_LAB[$k]}.devsim.log ]]; then
            echo "--- site $k: last lines of the devsim log ---"
            tail -n 10 "/run/quillane-lab/${SITE_LAB[$k]}.devsim.log"
        fi
        "$LAB" down "${SITE_LAB[$k]}" >/dev/null 2>&1 || true
    done
    [[ -n "$SITES_CTL" ]] && ip netns del "$SITES_CTL" 2>/dev/null
    [[ -n "$SITES_TMP" ]] && rm -rf "$SITES_TMP"
    exit "$status"
}

sites_skip_unless_possible() {
    lab_test_skip_unless_possible
    command -v ansible-playbook >/dev/null || { echo "SKIP: ansible-playbook missing (ansible-core)"; exit 77; }
    [[ -x /usr/sbin/sshd ]] || { echo "SKIP: /usr/sbin/sshd missing (openssh-server)"; exit 77; }
    command -v ssh-keygen >/dev/null || { echo "SKIP: ssh-keygen missing (openssh-client)"; exit 77; }
}

# The site's sshd on its management address, in the foreground of a
# background job: $! is sshd itself ("ip netns exec" execs it).
sites_start_sshd() {
    local k=$1 dir=$SITES_TMP/site$k
    ssh-keygen -q -t ed25519 -N '' -C "site$k host key, this run only" -f "$dir/host_key"
    cat >"$dir/sshd_config" <<CONF
ListenAddress 172.30.$k.2
Port 22
HostKey $dir/host_key
PidFile none
AuthorizedKeysFile $SITES_TMP/authorized_keys
PermitRootLogin prohibit-password
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
MaxStartups 100
Subsystem sftp internal-sftp
CONF
    mkdir -p /run/sshd  # the privilege separation directory sshd insists on
    ip netns exec "${SITE_LAB[$k]}-ws" /usr/sbin/sshd -D -e -f "$dir/sshd_config" 2>"$dir/sshd.log" &
    SITE_SSHD[$k]=$!
    local _
    for _ in $(seq 100); do
        ip netns exec "${SITE_LAB[$k]}-ws" ss -Htln "src 172.30.$k.2" 2>/dev/null | grep -q ':22 ' && return 0
        kill -0 "${SITE_SSHD[$k]}" 2>/dev/null || break
        sleep 0.05
    done
    echo "FAIL: the sshd of site $k did not start"
    cat "$dir/sshd.log"
    exit 1
}

sites_begin() {
    sites_skip_unless_possible
    local name=$1 k
    SITES_COUNT=$2
    shift 2
    trap sites_end EXIT
    trap 'exit 130' INT TERM
    SITES_TMP=$(mktemp -d)
    chmod 755 "$SITES_TMP"
    SITES_CTL=$name-ctl-$$
    ip netns add "$SITES_CTL"
    ip -n "$SITES_CTL" link set lo up
    ssh-keygen -q -t ed25519 -N '' -C "controller key, this run only" -f "$SITES_TMP/id_ed25519"
    cp "$SITES_TMP/id_ed25519.pub" "$SITES_TMP/authorized_keys"
    for ((k = 1; k <= SITES_COUNT; k++)); do
        SITE_LAB[$k]=$name$k-$$
        mkdir -p "$SITES_TMP/site$k"
        "$LAB" up "${SITE_LAB[$k]}" "$@" >/dev/null
        ip link add "mg$k" netns "$SITES_CTL" type veth peer name mgmt netns "${SITE_LAB[$k]}-ws"
        ip -n "$SITES_CTL" addr add "172.30.$k.1/24" dev "mg$k"
        ip -n "$SITES_CTL" link set "mg$k" up
        ip -n "${SITE_LAB[$k]}-ws" addr add "172.30.$k.2/24" dev mgmt
        ip -n "${SITE_LAB[$k]}-ws" link set mgmt up
        sites_start_sshd "$k"
    done
}

# sites_devsim K [devsim args]: site K's fleet; SITE_DEVSIM_LOG[K] is its log.
sites_devsim() {
    local k=$1 DEVSIM_PID DEVSIM_LOG
    shift
    eval "$("$LAB" devsim "${SITE_LAB[$k]}" "$@")"
    SITE_DEVSIM_LOG[$k]=$DEVSIM_LOG
}

# sites_exec K CMD...: runs a command in site K's workstation namespace.
sites_exec() {
    local k=$1
    shift
    ip netns exec "${SITE_LAB[$k]}-ws" "$@"
}

# Host lines of an inventory in YAML: site1..siteN under the group sites,
# each with its management address; more host variables come from HOST_VARS[K].
declare -a HOST_VARS
sites_inventory() {
    local k
    printf 'all:\n  vars:\n    ansible_user: root\n    ansible_python_interpreter: /usr/bin/python3\n'
    printf '    quillane_cli: %s\n    quillane_become: false\n' "$LAB_TEST_CLI"
    printf '  children:\n    sites:\n      hosts:\n'
    for ((k = 1; k <= SITES_COUNT; k++)); do
        printf '        site%d:\n          ansible_host: 172.30.%d.2\n          quillane_work_dir: %s/site%d\n' \
            "$k" "$k" "$SITES_TMP" "$k"
        if [[ -n "${HOST_VARS[$k]:-}" ]]; then printf '%s\n' "${HOST_VARS[$k]}" | sed 's/^/          /'; fi
    done
}

# sites_playbook ARGS...: ansible-playbook in the controller namespace, with a
# home, temporary folders and SSH settings of this run only; the SSH
# connections it keeps open for reuse end with the lab (sites_end).
sites_playbook() {
    mkdir -p "$SITES_TMP/home"
    local known="-o UserKnownHostsFile=/dev/null -o StrictHostKeyChecking=no -o LogLevel=ERROR"
    ip netns exec "$SITES_CTL" env HOME="$SITES_TMP/home" \
        ANSIBLE_COLLECTIONS_PATH="$LAB_TEST_SOURCE/ansible" \
        ANSIBLE_PRIVATE_KEY_FILE="$SITES_TMP/id_ed25519" \
        ANSIBLE_HOST_KEY_CHECKING=False \
        ANSIBLE_SSH_ARGS="-o ControlMaster=auto -o ControlPersist=60s -o KexAlgorithms=curve25519-sha256 $known" \
        ANSIBLE_SSH_CONTROL_PATH_DIR="$SITES_TMP/home/cp" \
        ANSIBLE_PIPELINING=True \
        ANSIBLE_LOCAL_TEMP="$SITES_TMP/home/tmp" \
        ANSIBLE_REMOTE_TEMP="$SITES_TMP/home/remote-tmp" \
        ANSIBLE_RETRY_FILES_ENABLED=False \
        ANSIBLE_NOCOLOR=1 \
        ANSIBLE_LOCALHOST_WARNING=False \
        ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3 \
        ansible-playbook "$@"
}
