#!/usr/bin/env bash
# The collection quillane.fleet and the example site playbook end to end:
# ansible-playbook on a controller drives three sites over SSH, each a
# workstation with its own sshd and quillane-cli and a simulated fleet on the
# same private addresses as the other sites. The inventory of every site; an
# address plan in check mode (nothing sent), for real (exactly the plan on
# the wire) and again (changed false, nothing sent); a rolling firmware run in
# which the last site has a device that loads the image but never comes back
# with the new version (that site fails naming it, the others are upgraded
# byte for byte) and a second run that skips every upgraded device; the
# sites' records fetched into one folder per run.
set -euo pipefail
source "${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/tools/lab/sites_lib.sh"
sites_begin ansites 3 --devices 5
T=$SITES_TMP
[[ -x "$LAB_TEST_CLI" ]] || { echo "FAIL: $LAB_TEST_CLI is not built"; exit 1; }
PLAYBOOK=$LAB_TEST_SOURCE/ansible/examples/site.yml
VERSION=2024.3.1.8

for k in 1 2 3; do
    "$DEVSIM" --count 5 --seed $((40 + k)) --first-ip 10.77.1.1 --print-fleet |
        awk -v k="$k" 'k == 3 && NR == 2 { $0 = $0 " faults=keep-version" } { print }' >"$T/site$k/fleet.txt"
    sites_devsim "$k" --fleet "$T/site$k/fleet.txt" --new-version "$VERSION"
    # The plan moves the first two devices of every site to the same new addresses.
    for ip in 10.77.2.1 10.77.2.2; do "$LAB" exec "${SITE_LAB[$k]}" dev -- ip addr add "$ip/16" dev lab-dev; done
done
number() { fleet_number "$T/site$1/fleet.txt" "$2"; }
HOST_VARS[1]="quillane_wait: 500
quillane_plan:
  - {device: $(number 1 1), ip: 10.77.2.1, gateway: 10.77.0.254}
  - {device: $(number 1 2), ip: 10.77.2.2, gateway: 10.77.0.254}"
printf 'device;ip;gateway\n%s;10.77.2.1;10.77.0.254\n%s;10.77.2.2;10.77.0.254\n' "$(number 2 1)" "$(number 2 2)" \
    >"$T/site2-plan.csv"
HOST_VARS[2]="quillane_wait: 500
quillane_plan_file: $T/site2-plan.csv"
HOST_VARS[3]="quillane_wait: 500
quillane_plan:
  - {device: $(number 3 1), ip: 10.77.2.1, gateway: 10.77.0.254}
  - {device: $(number 3 2), ip: 10.77.2.2, gateway: 10.77.0.254}"
sites_inventory >"$T/inventory.yml"
head -c 90000 /dev/urandom >"$T/firmware.bin"

# play NAME CODE ARGS...: the example playbook, its output in $T/NAME.out;
# fails unless it exits with CODE. The playbook keeps each job's results in
# the run's records folder.
play() {
    local name=$1 code=$2 got=0 started=$SECONDS
    shift 2
    sites_playbook -i "$T/inventory.yml" "$PLAYBOOK" -e "quillane_records=$T/records" "$@" \
        >"$T/$name.out" 2>&1 || got=$?
    if ((got != code)); then
        echo "FAIL: ansible-playbook $* exited $got, not $code"
        cat "$T/$name.out"
        exit 1
    fi
    echo "$name: $((SECONDS - started)) s"
    sleep 1  # one records folder per run: runs are named to the second
}
play inventory 0 --tags inventory
play check 0 --tags addresses --check --diff
play change 0 --tags addresses --diff
play again 0 --tags addresses
play firmware 2 --tags firmware -e "quillane_firmware=$T/firmware.bin" -e "quillane_version=$VERSION"
play firmware-again 2 --tags firmware -e "quillane_firmware=$T/firmware.bin" -e "quillane_version=$VERSION"

python3 - "$T" "$VERSION" "${SITE_DEVSIM_LOG[@]}" <<'PY'
import glob, hashlib, json, os, sys
tmp, version, logs = sys.argv[1], sys.argv[2], sys.argv[3:]
sites = ["site1", "site2", "site3"]
fleets = {}
for k, site in enumerate(sites, 1):
    fleets[site] = [dict(w.split("=", 1) for w in line.split()) for line in open(f"{tmp}/site{k}/fleet.txt")]
number = lambda site, i: int(fleets[site][i]["number"])
events = lambda site: [json.loads(l) for l in open(logs[sites.index(site)]) if l.strip()]

runs = sorted(glob.glob(f"{tmp}/records/*"))
assert len(runs) == 6, runs  # one folder per run
run_names = ["inventory", "check", "change", "again", "firmware", "firmware-again"]

def task(run, job):
    """Each site's results of the job, as the playbook kept them with the run's records."""
    folder = runs[run_names.index(run)]
    return {site: json.load(open(f"{folder}/{site}/{job}.json")) for site in sites}

# The fleets use the same addresses at every site; each site saw its own devices only.
assert {tuple(d["ip"] for d in f) for f in fleets.values()} == {("10.77.1.1", "10.77.1.2", "10.77.1.3", "10.77.1.4",
                                                                 "10.77.1.5")}
for site in sites:
    found = json.load(open(f"{runs[0]}/{site}/devices.json"))
    got = {d["device"]: d for d in found["devices"]}
    assert sorted(got) == sorted(int(d["number"]) for d in fleets[site]), (site, found)
    for d in fleets[site]:
        g = got[int(d["number"])]
        assert (g["ip"], g["version"]) == (d["ip"], d["version"]), (g, d)
        assert g["type"] == (None if d["type"] in ("none", "6310") else int(d["type"])), (g, d)

changes = lambda site: [e for e in events(site) if e.get("dir") == "in" and str(e.get("kind", "")).startswith("change")]

# Check mode: every site would change its two devices; nothing was sent anywhere.
check = task("check", "addresses")
for site in sites:
    r = check[site]
    assert r["changed"] and not r.get("failed"), r
    assert sorted(x["result"] for x in r["results"]) == ["unchanged"] * 0 + sorted(
        ["would-change", "would-change"]), r["results"]
    assert "10.77.2.1" in r["diff"]["after"] and "10.77.1.1" in r["diff"]["before"], r["diff"]
# For real: exactly the plan on each site's wire.
change = task("change", "addresses")
for site in sites:
    assert change[site]["changed"] and not change[site].get("failed"), change[site]
    sent = {(e["dev"], e["new_ip"], e["new_gateway"], e["new_mask"]) for e in changes(site) if "ignored" not in e}
    want = {(number(site, 0), "10.77.2.1", "10.77.0.254", "255.255.0.0"),
            (number(site, 1), "10.77.2.2", "10.77.0.254", "255.255.0.0")}
    assert sent == want, (site, sent, want)
    assert {e["dev"] for e in changes(site)} == {number(site, 0), number(site, 1)}, changes(site)
# Again: nothing to do, nothing sent.
again = task("again", "addresses")
sent_before = {site: len(changes(site)) for site in sites}
for site in sites:
    assert not again[site]["changed"] and {x["result"] for x in again[site]["results"]} == {"unchanged"}, again[site]

# The rolling upgrade: sites 1 and 2 upgraded byte for byte, site 3 names its device.
sha = hashlib.sha256(open(f"{tmp}/firmware.bin", "rb").read()).hexdigest()
upgrade = task("firmware", "firmware")
for site in ("site1", "site2"):
    r = upgrade[site]
    assert r["changed"] and not r.get("failed") and r["sha256"] == sha, r
    assert {x["result"] for x in r["results"]} == {"upgraded"} and len(r["results"]) == 5, r["results"]
    assert all(x["version_after"] == version for x in r["results"]), r["results"]
stuck = number("site3", 1)
r = upgrade["site3"]
assert r.get("failed") and f"device {stuck} failed" in r["msg"], r
assert sorted((x["device"], x["result"]) for x in r["results"]) == sorted(
    (number("site3", i), "failed" if i == 1 else "upgraded") for i in range(5)), r["results"]
for site in sites:
    done = [e for e in events(site) if e.get("event") == "upgrade-done"]
    assert sorted(e["dev"] for e in done) == sorted([number(site, i) for i in range(5)] + (
        [stuck] if site == "site3" else [])), (site, done)
    assert all(e["sha256"] == sha and e["bytes"] == 90000 for e in done), done
# The second run skips every upgraded device; only the stuck one is tried (and fails) again.
second = task("firmware-again", "firmware")
for site in sites:
    r = second[site]
    want = {number(site, i): "skipped" for i in range(5)}
    if site == "site3":
        want[stuck] = "failed"
    assert {x["device"]: x["result"] for x in r["results"]} == want, (site, r["results"])
    assert not r["changed"], r
assert second["site3"].get("failed") and not second["site1"].get("failed"), second

# Records home: each run's folder holds what each site appended so far.
last = runs[-1]
for site in sites:
    records = [json.loads(l) for l in open(f"{last}/{site}/runs.jsonl")]
    ups = [x for x in records if x["command"] == "upgrade"]
    assert len([x for x in records if x["command"] == "change"]) == 4, records  # plan, then unchanged twice
    assert all(x["firmware"]["sha256"] == sha for x in ups), ups
    assert os.path.exists(f"{runs[4]}/{site}/runs.jsonl"), runs[4]
print("records:", [os.path.basename(r) for r in runs])
PY
for k in 1 2 3; do
    kill -0 "${SITE_SSHD[$k]}" || { echo "FAIL: the sshd of site $k is gone"; exit 1; }
    ss=$(sites_exec "$k" ss -Htln)
    [[ $(grep -c ':22 ' <<<"$ss") -eq 1 && $ss == *"172.30.$k.2:22"* ]] || { echo "FAIL: site $k sshd listens on $ss"; exit 1; }
done
echo "ansible sites: all checks passed"
