"""The stain table of a sample card as a user's script reads it: Python's
csv module, one row per stain, outcomes matching the card's counts and the
pixels adding up to its stain pixels."""
import csv, json, os, subprocess, sys, tempfile

batch, card = sys.argv[1], sys.argv[2]
with tempfile.TemporaryDirectory() as home:
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home)
    table = os.path.join(home, "stains.csv")
    run = subprocess.run([batch, "--no-log", "--json", "--hue", "150-190", "--stains", table, card],
                         env=env, capture_output=True, text=True, check=True)
    figures = json.loads(run.stdout)["cards"][0]
    with open(table, newline="") as f:
        rows = list(csv.DictReader(f))
assert rows, "no rows"
assert {r["card"] for r in rows} == {os.path.basename(card)}
accepted = sum(r["outcome"] == "accepted" for r in rows)
rejected = sum(r["outcome"] not in ("accepted", "folded into another stain") for r in rows)
pixels = sum(int(r["pixels"]) for r in rows)
assert accepted == figures["accepted"], (accepted, figures["accepted"])
assert rejected == figures["rejected"], (rejected, figures["rejected"])
assert pixels == figures["foreground_pixels"], (pixels, figures["foreground_pixels"])
print(f"{len(rows)} rows: {accepted} accepted, {rejected} rejected, {pixels} pixels")
