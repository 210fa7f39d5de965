#!/usr/bin/env bash
# Includes point down.  The folders stand in one order, bottom to top, read
# from the build (vexolin_core_folders in CMakeLists.txt, where each folder's
# library links only those below it): a file of a folder, its qt/ and ui/
# subfolders too, includes only its own folder and the folders below it.
# The computation (every file outside ui/ and qt/ folders and the batch tool's
# app/batch/) sees no widget, no Qt and no adapter header; the adapters (qt/,
# app/batch/) see no widget; the shared widgets (ui/) see all but app/.
# Prints each include that breaks a rule and fails if there is any.
set -uo pipefail
cd "$(dirname "$0")/.."

read -ra order < <(sed -nE 's/^[[:space:]]*set\(vexolin_core_folders[[:space:]]+([^)]*)\).*/\1/p' CMakeLists.txt)
if ((${#order[@]} < 2)); then
  echo "the folder order (set(vexolin_core_folders ...)) is missing from CMakeLists.txt" >&2
  exit 1
fi
declare -A rank
for i in "${!order[@]}"; do rank[${order[$i]}]=$i; done
top=${order[-1]}

found=0
complain() { echo "$1: $2"; found=1; }

# The batch tool's program sits on the adapters, beside them.
adapter_file() { [[ "$1" == ui/* || "$1" == */ui/* || "$1" == */qt/* || "$1" == app/batch/* ]]; }
widget_header() { [[ "$1" == ui/* || "$1" == */ui/* ]]; }

while IFS= read -r file; do
  folder=${file%%/*}
  while IFS= read -r line; do
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"].*/\1/' <<<"$line")
    quoted=0
    [[ "$line" == *\"* ]] && quoted=1
    to=${target%%/*}
    if [[ $quoted == 1 && "$target" == */* && -n "${rank[$to]:-}" ]]; then
      if [[ "$folder" == ui ]]; then
        [[ "$to" == "$top" ]] && complain "$file" "the shared widgets include $target"
      elif ((rank[$to] > rank[$folder])); then
        complain "$file" "$folder/ is below $to/ and includes $target"
      fi
    fi
    if [[ $quoted == 1 && "$target" == */* && -z "${rank[$to]:-}" && "$to" != ui ]]; then
      complain "$file" "includes $target, from outside the program's folders"
    fi
    if [[ ( "$file" == */qt/* || "$file" == app/batch/* ) && $quoted == 1 ]] && widget_header "$target"; then
      complain "$file" "the adapter includes the widget $target"
    fi
    if ! adapter_file "$file"; then
      if [[ $quoted == 1 && ( "$target" == ui/* || "$target" == */ui/* || "$target" == */qt/* ) ]]; then
        complain "$file" "the core includes the adapter $target"
      elif [[ "$line" =~ \<Q[A-Za-z]*\> || "$line" =~ \<Qt[A-Za-z]*/ ]]; then
        complain "$file" "the core includes Qt: $target"
      fi
    fi
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file")
done < <(find "${order[@]}" ui -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

if ((found)); then
  echo "includes that point the wrong way: see above" >&2
  exit 1
fi
echo "includes point down: ${order[*]}"
