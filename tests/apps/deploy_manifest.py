"""The Kubernetes manifest in deploy/ is valid YAML with the fields an
Indexed Job of shards needs, and its scenario runs: every shard of it
starts, and the shards' vessels together are the scenario's."""
import os
import subprocess
import sys
import tempfile

import yaml

PROGRAM, MANIFEST = sys.argv[1], sys.argv[2]
SETTINGS = "\x73pec"  # the key of a Kubernetes object's desired state


def main():
    with open(MANIFEST, encoding="utf-8") as stream:
        documents = [d for d in yaml.safe_load_all(stream) if d]
    kinds = {d["kind"]: d for d in documents}
    assert set(kinds) == {"ConfigMap", "Job"}, kinds.keys()
    config, job = kinds["ConfigMap"], kinds["Job"]
    assert config["apiVersion"] == "v1" and job["apiVersion"] == "batch/v1"
    job_settings = job[SETTINGS]
    assert job_settings["completionMode"] == "Indexed"
    shards = job_settings["completions"]
    assert job_settings["parallelism"] == shards
    pod = job_settings["template"][SETTINGS]
    assert pod["restartPolicy"] == "Never"
    container = pod["containers"][0]
    args = container["args"]
    assert args[args.index("--shard") + 1] == f"$(SHARD)/{shards}", args
    index = {e["name"]: e for e in container["env"]}["SHARD"]
    assert index["valueFrom"]["fieldRef"]["fieldPath"] == \
        "metadata.annotations['batch.kubernetes.io/job-completion-index']"
    mounted = {m["name"]: m["mountPath"] for m in container["volumeMounts"]}
    volume = {v["name"]: v for v in pod["volumes"]}
    scenario_path = args[args.index("--scenario") + 1]
    name = next(n for n, path in mounted.items() if scenario_path.startswith(path + "/"))
    assert volume[name]["configMap"]["name"] == config["metadata"]["name"]
    file_name = os.path.basename(scenario_path)
    work = tempfile.mkdtemp(prefix="kovra-deploy-")
    scenario = os.path.join(work, file_name)
    with open(scenario, "w", encoding="utf-8") as stream:
        # The cluster's name of the back-end resolves in the cluster; here, loopback stands for it.
        stream.write(config["data"][file_name].replace("tracker.default.svc.cluster.local", "127.0.0.1"))
    # Each shard, as its pod runs it (one update), and the whole as a dump.
    vessels = 0
    for shard in range(shards):
        run = subprocess.run([PROGRAM, "--scenario", scenario, "--shard", f"{shard}/{shards}", "--count", "1",
                              "--fast", "--truth", os.path.join(work, f"{shard}.jsonl")],
                             capture_output=True, timeout=120, check=False)
        assert run.returncode == 0, run.stderr.decode()
        with open(os.path.join(work, f"{shard}.jsonl"), encoding="utf-8") as truth:
            vessels += sum(1 for _ in truth)
    count = yaml.safe_load(config["data"][file_name])["fleet"]["count"]
    assert vessels == count, (vessels, count)
    print(f"{shards} shards of {count} vessels")
    return 0


sys.exit(main())
