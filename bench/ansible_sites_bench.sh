#!/usr/bin/env bash
# Many sites against one: in one lab of three sites (each a workstation with
# its own sshd and a simulated fleet, all on the same private addresses), the
# inventory of all three taken by ansible-playbook from the controller with
# three forks (quillane.fleet.devices_info at each site) against one
# quillane-cli search at one site. Goal: the three sites in at most 1.5 times
# the time of one. Wall times, the median of RUNS each; the playbook is run
# once before the measured runs, so its SSH connections are open (as on any
# controller that reuses them). A play that runs /bin/true at the three sites
# shows what Ansible itself costs (its start, SSH, the module round trip).
#
#   bench/ansible_sites_bench.sh [DEVICES per site = 1000] [RUNS = 3]      (needs root)
#
# Builds nothing: expects build/cli/quillane-cli and build/tools/devsim/devsim
# (or QUILLANE_BUILD_DIR). Not part of ctest.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/lab/sites_lib.sh"
devices=${1:-1000}
runs=${2:-3}
sites_begin bsites 3 --devices "$devices"
for k in 1 2 3; do sites_devsim "$k" --count "$devices" --seed "$k"; done
sites_inventory >"$SITES_TMP/inventory.yml"
cat >"$SITES_TMP/inventory-play.yml" <<'PLAY'
- name: The devices of every site
  hosts: sites
  gather_facts: false
  tasks:
    - name: Search the site's network
      quillane.fleet.devices_info:
        cli: "{{ quillane_cli }}"
      register: found

    - name: Every device listed
      ansible.builtin.assert:
        that: found.devices | length == {{ devices }}
        quiet: true
PLAY

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ms() { awk -v ns="$1" 'BEGIN { printf "%.0f", ns / 1e6 }'; }

echo "== one quillane-cli search at one site ($devices devices)"
: >"$SITES_TMP/one"
for ((run = 1; run <= runs; run++)); do
    elapsed=$(sites_exec 1 bash -c 'start=$(date +%s%N); "$0" search --format json >/dev/null 2>&1 || exit 1;
        echo $(($(date +%s%N) - start))' "$LAB_TEST_CLI")
    echo "  run $run: $(ms "$elapsed") ms"
    echo "$elapsed" >>"$SITES_TMP/one"
done

echo "== ansible-playbook, three sites of $devices devices, three forks"
sites_playbook -i "$SITES_TMP/inventory.yml" -f 3 -e "devices=$devices" "$SITES_TMP/inventory-play.yml" >/dev/null
: >"$SITES_TMP/three"
for ((run = 1; run <= runs; run++)); do
    start=$(now)
    sites_playbook -i "$SITES_TMP/inventory.yml" -f 3 -e "devices=$devices" "$SITES_TMP/inventory-play.yml" \
        >"$SITES_TMP/play.out" || { cat "$SITES_TMP/play.out"; exit 1; }
    elapsed=$(($(now) - start))
    echo "  run $run: $(ms "$elapsed") ms"
    echo "$elapsed" >>"$SITES_TMP/three"
done

# What Ansible itself costs: the same three sites and forks, a task that runs
# /bin/true through the same module machinery instead of the search.
cat >"$SITES_TMP/noop-play.yml" <<'PLAY'
- name: Ansible alone
  hosts: sites
  gather_facts: false
  tasks:
    - name: Nothing at each site
      ansible.builtin.command: /bin/true
      changed_when: false
PLAY
echo "== ansible-playbook, the same sites and forks, /bin/true instead of the search"
: >"$SITES_TMP/noop"
for ((run = 1; run <= runs; run++)); do
    start=$(now)
    sites_playbook -i "$SITES_TMP/inventory.yml" -f 3 "$SITES_TMP/noop-play.yml" >/dev/null
    elapsed=$(($(now) - start))
    echo "  run $run: $(ms "$elapsed") ms"
    echo "$elapsed" >>"$SITES_TMP/noop"
done

noop=$(median <"$SITES_TMP/noop")
one=$(median <"$SITES_TMP/one")
three=$(median <"$SITES_TMP/three")
awk -v one="$one" -v three="$three" -v noop="$noop" 'BEGIN {
    printf "median: one site %.0f ms, three sites %.0f ms: %.2f times (goal: at most 1.5)\n", one / 1e6, three / 1e6, three / one
    printf "Ansible alone (the /bin/true play) %.0f ms; the three sites beyond it %.0f ms: %.2f times one search\n",
        noop / 1e6, (three - noop) / 1e6, (three - noop) / one }'
