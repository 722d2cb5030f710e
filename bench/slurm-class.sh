#!/usr/bin/env bash
# A class in shards on a real Slurm, on this one machine: installs Debian's slurm-wlm and munge
# where they are missing, starts a cluster of one node (munged, slurmctld, slurmd) from a
# configuration in a scratch folder, and checks a class of PEOPLE made from this project's own
# sources (some with a broken source, two with the same one) as a job array of 3 shards with
# platforms/slurm/class-in-shards.sbatch and a merge job that waits for them. Then it checks the
# same class in one run with the same options and compares: the merged CSV must be the one
# run's, byte for byte, and so must the JSON less the cases' times. It prints both wall times.
# The cluster is stopped and the scratch folder removed when it ends, also when it fails.
#
#   bench/slurm-class.sh [PEOPLE]      (default 9, at least 6; as root)
#
# EXERCISE_CHECK names the checker to use; without it, build/default's is built and used.
# Slurm runs the jobs as the user who submits them, here root: the checker runs the programs
# in its sandbox (--sandbox auto, as the batch file passes).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
people=${1:-9}
shards=3
if (( people < 6 )); then
    echo "give at least 6 people" >&2
    exit 2
fi
if (( $(id -u) != 0 )); then
    echo "run it as root: it installs Slurm and MUNGE and starts their daemons" >&2
    exit 2
fi

missing=()
for command in slurmctld:slurmctld slurmd:slurmd sbatch:slurm-client munged:munge \
               mungekey:munge jq:jq; do
    command -v "${command%%:*}" >/dev/null || missing+=("${command#*:}")
done
if (( ${#missing[@]} > 0 )); then
    # slurm-wlm brings the daemons and the client commands.
    packages=(slurm-wlm munge jq)
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -q "${packages[@]}" >/dev/null ||
        { apt-get update -q >/dev/null && apt-get install -y -q "${packages[@]}" >/dev/null; }
fi

if [[ -n ${EXERCISE_CHECK:-} ]]; then
    check=$(command -v "$EXERCISE_CHECK") || { echo "no $EXERCISE_CHECK" >&2; exit 2; }
    check=$(realpath "$check")
else
    cmake --preset default >/dev/null
    cmake --build --preset default --target exercise-check >/dev/null
    check=$root/build/default/exercise-check/exercise-check
fi

scratch=$(mktemp -d /tmp/slurm-class.XXXXXX)
chmod 755 "$scratch" # munged, as the munge user, must reach its folder
daemons=()           # the pids of what this script started
jobs=()
stop_cluster() {
    local status=$? pid
    trap - EXIT
    if (( ${#jobs[@]} > 0 )); then
        scancel "${jobs[@]}" 2>/dev/null || true
        for (( wait = 0; wait < 30; wait++ )); do
            [[ -z $(squeue -h -j "$(IFS=,; echo "${jobs[*]}")" 2>/dev/null) ]] && break
            sleep 1
        done
    fi
    for (( n = ${#daemons[@]} - 1; n >= 0; n-- )); do # slurmd, slurmctld, then munged
        kill "${daemons[n]}" 2>/dev/null || true
    done
    for pid in "${daemons[@]}"; do
        for (( wait = 0; wait < 30; wait++ )); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.2
        done
        kill -KILL "$pid" 2>/dev/null || true
    done
    if (( status != 0 )) && [[ -f $scratch/slurmctld.log ]]; then
        echo "the last lines of the daemons' logs:" >&2
        tail -n 5 "$scratch"/*.log "$scratch/munge/munged.log" >&2 || true
    fi
    rm -rf "$scratch"
    exit "$status"
}
trap stop_cluster EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
fail() {
    echo "slurm-class: $*" >&2
    exit 1
}

# MUNGE with a key of its own, on a socket of its own: a munged of the system's is left alone.
mkdir -m 755 "$scratch/munge"
chown munge:munge "$scratch/munge"
runuser -u munge -- mungekey --create --keyfile "$scratch/munge/munge.key"
runuser -u munge -- munged --socket "$scratch/munge/socket" \
    --key-file "$scratch/munge/munge.key" --pid-file "$scratch/munge/munged.pid" \
    --log-file "$scratch/munge/munged.log" --seed-file "$scratch/munge/seed"
daemons+=("$(cat "$scratch/munge/munged.pid")")

host=$(hostname -s)
cpus=$(nproc)
memory=$(free -m | awk '/^Mem:/ { print int($2 * 0.9) }')
mkdir "$scratch/state" "$scratch/spool"
export SLURM_CONF=$scratch/slurm.conf
# Ports of its own, too. No cgroup plugins: a machine with cgroup v1 may refuse them.
cat >"$SLURM_CONF" <<EOF
ClusterName=class
SlurmctldHost=$host
SlurmctldPort=16817
SlurmdPort=16818
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$scratch/munge/socket
MailProg=/bin/true
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
ReturnToService=2
SchedulerParameters=kill_invalid_depend
SlurmctldPidFile=$scratch/slurmctld.pid
SlurmdPidFile=$scratch/slurmd.pid
StateSaveLocation=$scratch/state
SlurmdSpoolDir=$scratch/spool
SlurmctldLogFile=$scratch/slurmctld.log
SlurmdLogFile=$scratch/slurmd.log
NodeName=$host CPUs=$cpus RealMemory=$memory State=UNKNOWN
PartitionName=class Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
slurmctld -D >/dev/null 2>&1 &
daemons+=("$!")
slurmd -D >/dev/null 2>&1 &
daemons+=("$!")
for (( wait = 0; ; wait++ )); do
    [[ $(sinfo -h -n "$host" -o %t 2>/dev/null) == idle ]] && break
    (( wait < 60 )) || fail "the node $host is not idle after a minute: $(sinfo -h -o %t)"
    sleep 1
done
echo "Slurm is up: the node $host idle, $cpus CPUs, $memory MB"

# The class: this project's nine sources in each person's folder, each person's own by a comment.
# Person 2's circle is wrong, person 3's hellolines does not compile, person 5 hands in two
# programs only, and the last person hands in person 1's folder as it is.
class=$scratch/class
mkdir -p "$class/hand-ins"
sources=(digit-exercises/*.cpp calculators/*.cpp greeting-programs/*.cpp)
for (( n = 1; n < people; n++ )); do
    person="$class/hand-ins/Person $n"
    mkdir "$person"
    for source in "${sources[@]}"; do
        { cat "$source"; printf '// handed in by person %d\n' "$n"; } \
            >"$person/$(basename "$source")"
    done
done
sed -i 's/3\.14159F/3.14F/' "$class/hand-ins/Person 2/circle.cpp"
sed -i 's/return/retrun/' "$class/hand-ins/Person 3/hellolines.cpp"
find "$class/hand-ins/Person 5" -name '*.cpp' ! -name twodigits.cpp ! -name helloworld.cpp -delete
cp -r "$class/hand-ins/Person 1" "$class/hand-ins/Person $people"

seconds_since() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { print b - a }'; }
cd "$class"

# In shards: the array and the merge after it, each shard on one CPU, so that the node runs two
# at a time. The shards share a cache, as on a cluster whose nodes share the home folder.
export EXERCISE_CHECK=$check XDG_CACHE_HOME=$scratch/cache-shards
start=$(date +%s.%N)
array=$(sbatch --parsable --array=1-$shards --cpus-per-task=1 \
    "$root/platforms/slurm/class-in-shards.sbatch")
array=${array%%;*}
jobs+=("$array")
# The merge exits with 1 when some program is wrong, as one run does: the class was checked.
merge=$(sbatch --parsable --dependency="afterok:$array" --output=merge.out \
    --wrap '"$EXERCISE_CHECK" merge shard-*.json --csv merged.csv --json merged.json; [ $? -le 1 ]')
merge=${merge%%;*}
jobs+=("$merge")
echo "submitted the array $array (shards 1 to $shards) and the merge $merge after it:"
for (( wait = 0; wait < 20; wait++ )); do # the queue once the first tasks have started
    [[ -n $(squeue -h -t RUNNING -j "$array" 2>/dev/null) ]] && break
    sleep 0.5
done
squeue -o '%.8i %.14j %.8T %.10M %R' | sed 's/^/  /'
for (( wait = 0; ; wait++ )); do
    if queued=$(squeue -h -j "$array,$merge" 2>/dev/null); then
        [[ -z $queued ]] && break
    fi
    (( wait < 1800 )) || fail "the jobs have not ended after half an hour"
    sleep 0.5
done
sharded_seconds=$(seconds_since "$start")
states=$({ scontrol show job -o "$array"; scontrol show job -o "$merge"; } | awk '{
    for (i = 1; i <= NF; i++) if ($i ~ /^(JobId|ArrayTaskId|JobName|JobState)=/) printf "%s ", $i
    print "" }')
if grep -qv 'JobState=COMPLETED' <<<"$states"; then
    for output in slurm-*.out merge.out; do
        [[ -f $output ]] && { echo "--- $output"; cat "$output"; } >&2
    done
    fail "not every job completed:"$'\n'"$states"
fi
[[ -f merged.csv && -f merged.json ]] || fail "the merge job wrote no reports"

# Once: the same options as the batch file's, all the CPUs, a cache of its own.
export XDG_CACHE_HOME=$scratch/cache-one
start=$(date +%s.%N)
status=0
"$check" --sandbox auto --jobs "$cpus" --class hand-ins --json one.json --csv one.csv \
    >one.txt 2>&1 || status=$?
one_seconds=$(seconds_since "$start")
(( status <= 1 )) || { cat one.txt >&2; fail "the one run exited with $status"; }

if ! cmp -s one.csv merged.csv; then
    diff one.csv merged.csv >&2 || true
    fail "the merged CSV differs from the one run's (< one run, > merged)"
fi
untimed='walk(if type == "object" then del(.seconds) else . end)'
jq "$untimed" one.json >one-untimed.json
jq "$untimed" merged.json >merged-untimed.json
if ! cmp -s one-untimed.json merged-untimed.json; then
    diff one-untimed.json merged-untimed.json | head -n 40 >&2 || true
    fail "the merged JSON differs from the one run's, times left out (< one run, > merged)"
fi

# A comparison of two empty reports would pass too: the broken sources must show in the merge.
verdict() {
    jq -r --arg name "$1" --arg program "$2" \
        '.people[] | select(.name == $name) | .programs[] | select(.program == $program)
         | .verdict' merged.json
}
[[ $(verdict "Person 2" circle) == wrong ]] || fail "Person 2's circle is not wrong"
[[ $(verdict "Person 3" hellolines) == does-not-compile ]] ||
    fail "Person 3's hellolines is not does-not-compile"
shares=$(jq -r --arg name "Person $people" \
    '.people[] | select(.name == $name) | .programs[0].same_source_as | join(", ")' merged.json)
[[ $shares == "Person 1" ]] ||
    fail "Person $people's twodigits is found the same as [$shares], not as Person 1's"

count() { jq "[.people[].programs[] | select($1)] | length" one.json; }
echo "$(date -u +%Y-%m-%d), $cpus cores, Slurm $(sinfo --version | cut -d' ' -f2)," \
     "$(jq '.people | length' one.json) people; programs wrong: $(count '.verdict == "wrong"')," \
     "not compiling: $(count '.verdict == "does-not-compile"')," \
     "absent: $(count '.verdict == "absent"')"
for (( shard = 1; shard <= shards; shard++ )); do
    printf '  shard %d of %d: %s people, ran %s\n' "$shard" "$shards" \
        "$(jq '.people | length' "shard-$shard.json")" \
        "$(scontrol show job -o "${array}_$shard" | grep -o 'RunTime=[0-9:-]*' | cut -d= -f2)"
done
printf '%-56s %8s\n' "what" "seconds"
printf '%-56s %8.1f\n' "in $shards shards: the array and the merge, submit to end" \
    "$sharded_seconds"
printf '%-56s %8.1f\n' "in one run of exercise-check --jobs $cpus" "$one_seconds"
echo "the merged CSV and JSON (less the times) are the one run's"
