#!/bin/bash
# Compares this TFTP server with Debian's tftpd-hpa in one lab (a namespace
# pair joined by veth): tftp-hpa's client fetches the same 16 MiB file with
# 512-byte blocks five times from each; prints the medians, their ratio and
# each server's CPU time per MiB; then twenty simultaneous fetches from each.
# Needs root; not run by ctest.
#   bench/tftp_compare.sh [SIZE_MIB] [ROUNDS] [PARALLEL]
set -u
SIZE_MIB=${1:-16}
ROUNDS=${2:-5}
PARALLEL=${3:-20}
source "$(dirname "${BASH_SOURCE[0]}")/../tools/lab/lab_test_lib.sh"
lab_tftp_begin tftp-compare
command -v in.tftpd >/dev/null || { echo "in.tftpd (tftpd-hpa) missing"; exit 1; }

FW=$WORK/srv/fw.bin
mkdir -p "$WORK/srv" "$WORK/out"
head -c $((SIZE_MIB * 1024 * 1024)) /dev/urandom > "$FW"
want=$(sha256sum < "$FW" | cut -d' ' -f1)
lab_tftp_server "$FW"
OURS_PID=$SERVER_PID
# tftpd-hpa on its own port, serving the same folder (names relative to it).
"$LAB" exec "$LAB_TEST_NAME" ws -- in.tftpd -L -u root -s "$WORK/srv" -a $WS_IP:6969 &
HPA_PID=$!
sleep 0.3

# CPU time of each server, its forked children included (tftpd-hpa serves
# each request from a child process): a cpuacct cgroup of the run's own per
# server when the machine offers one, else the process's own times.
CG_ROOT=/sys/fs/cgroup/cpuacct
cpu_group() { echo "$CG_ROOT/$LAB_TEST_NAME-$1"; }
track_cpu() {  # track_cpu NAME PID
    local group
    group=$(cpu_group "$1")
    mkdir "$group" 2>/dev/null && echo "$2" > "$group/cgroup.procs" 2>/dev/null
}
cpu_ns() {  # cpu_ns NAME PID
    local group
    group=$(cpu_group "$1")
    if [ -r "$group/cpuacct.usage" ] && grep -q . "$group/cgroup.procs"; then cat "$group/cpuacct.usage"
    else awk -v hz="$(getconf CLK_TCK)" '{printf "%.0f", ($14 + $15 + $16 + $17) * 1e9 / hz}' "/proc/$2/stat"; fi
}
lab_test_cleanup() {
    for name in ours hpa; do rmdir "$(cpu_group $name)" 2>/dev/null; done
}
fetch() {  # fetch ours|hpa OUT
    if [ "$1" = ours ]; then dev tftp -l -m binary $WS_IP 69 -c get "$FW" "$2"
    else dev tftp -l -m binary $WS_IP 6969 -c get fw.bin "$2"; fi
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

track_cpu ours $OURS_PID
track_cpu hpa $HPA_PID

# Rounds alternate between the servers, so the load of a shared machine
# falls on both alike.
declare -A PID_OF=([ours]=$OURS_PID [hpa]=$HPA_PID) TIMES CPU MEDIAN
for server in ours hpa; do fetch $server "$WORK/out/warm" >/dev/null 2>&1; TIMES[$server]=""; CPU[$server]=0; done
for round in $(seq "$ROUNDS"); do
    for server in ours hpa; do
        rm -f "$WORK/out/$server"
        before=$(cpu_ns $server ${PID_OF[$server]})
        start=$(date +%s%N)
        fetch $server "$WORK/out/$server" >/dev/null 2>&1
        end=$(date +%s%N)
        sleep 0.1  # tftpd-hpa's child has ended
        after=$(cpu_ns $server ${PID_OF[$server]})
        [ "$(sha256sum < "$WORK/out/$server" | cut -d' ' -f1)" = "$want" ] || echo "$server round $round: content differs"
        TIMES[$server]+="$(( (end - start) / 1000000 )) "
        CPU[$server]=$(( ${CPU[$server]} + after - before ))
    done
done
for server in ours hpa; do
    MEDIAN[$server]=$(printf '%s\n' ${TIMES[$server]} | median)
    per_mib=$(awk -v t=${CPU[$server]} -v n="$ROUNDS" -v m="$SIZE_MIB" 'BEGIN {printf "%.2f", t / 1e6 / (n * m)}')
    echo "$server: fetch times ms ${TIMES[$server]}; median ${MEDIAN[$server]} ms; CPU $per_mib ms/MiB"
done
awk -v a="${MEDIAN[ours]}" -v b="${MEDIAN[hpa]}" \
    'BEGIN {printf "median ratio this server / tftpd-hpa: %.3f (below 1 = faster)\n", a / b}'

for server in ours hpa; do
    rm -f "$WORK"/out/par-*
    start=$(date +%s%N)
    pids=()
    for i in $(seq "$PARALLEL"); do
        fetch $server "$WORK/out/par-$i" >/dev/null 2>&1 &
        pids+=($!)
    done
    wait "${pids[@]}"
    end=$(date +%s%N)
    ok=0
    for i in $(seq "$PARALLEL"); do
        [ "$(sha256sum < "$WORK/out/par-$i" 2>/dev/null | cut -d' ' -f1)" = "$want" ] && ok=$((ok + 1))
    done
    echo "$server: $PARALLEL simultaneous fetches in $(( (end - start) / 1000000 )) ms, $ok intact, $((PARALLEL - ok)) failed"
done
