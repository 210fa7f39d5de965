#!/usr/bin/env bash
# Includes point down: model/ at the bottom includes nothing of the project;
# the subsystem folders never include app/; and the computation (every file
# outside ui/ and qt/ folders) sees no widget, no Qt and no adapter header.
# Prints each include that breaks a rule and fails if there is any.
set -uo pipefail
cd "$(dirname "$0")/.."

folders=(model text intake analysis line trial report templates ui)
found=0
complain() { echo "$1: $2"; found=1; }

adapter_file() { [[ "$1" == ui/* || "$1" == */ui/* || "$1" == */qt/* ]]; }

while IFS= read -r file; do
  folder=${file%%/*}
  while IFS= read -r line; do
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"].*/\1/' <<<"$line")
    quoted=0
    [[ "$line" == *\"* ]] && quoted=1
    if [[ "$folder" == model && $quoted == 1 && "$target" != model/* ]]; then
      complain "$file" "model/ includes $target"
    fi
    if [[ $quoted == 1 && "$target" == app/* ]]; then
      complain "$file" "a subsystem includes $target"
    fi
    # The trial file sits under app/ alone: nothing else builds on a saved trial.
    if [[ $quoted == 1 && "$target" == trial/* && "$folder" != trial ]]; then
      complain "$file" "only app/ may include $target"
    fi
    if ! adapter_file "$file"; then
      if [[ $quoted == 1 && ( "$target" == ui/* || "$target" == */ui/* || "$target" == */qt/* ) ]]; then
        complain "$file" "the core includes the adapter $target"
      elif [[ "$line" =~ \<Q[A-Za-z]*\> || "$line" =~ \<Qt[A-Za-z]*/ ]]; then
        complain "$file" "the core includes Qt: $target"
      fi
    fi
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file")
done < <(find "${folders[@]}" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

if ((found)); then
  echo "includes that point the wrong way: see above" >&2
  exit 1
fi
echo "includes point down"
