#!/usr/bin/env bash
# The folders form a stack that reads bottom-up; a file may include its own
# folder and the ones below it, never one above:
#   base -> parallel -> mesh -> tools -> render -> platform -> app
# SDL is the window layer's alone, and GL the renderer's and the window
# layer's, so everything below render/ builds and runs headless.
# Usage: check-layers.sh [SOURCE_ROOT]. Prints each violation; exit 1 if any.
set -uo pipefail
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2
order=(base parallel mesh tools render platform app)
rank() {
    local i
    for i in "${!order[@]}"; do [[ ${order[$i]} == "$1" ]] && { echo "$i"; return; }; done
    echo -1
}
bad=0
for dir in "${order[@]}"; do
    mine=$(rank "$dir")
    for file in "$dir"/*.cpp "$dir"/*.h; do
        [[ -e $file ]] || continue
        while IFS=: read -r line text; do
            target=$(sed -E 's/.*#[[:space:]]*include[[:space:]]+"([a-z]+)\/.*/\1/' <<<"$text")
            theirs=$(rank "$target")
            if ((theirs > mine)); then
                echo "$file:$line includes $target/, a folder above $dir/"
                bad=1
            fi
        done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[a-z]+/' "$file")
        if ((mine < $(rank render))) && grep -qE '#[[:space:]]*include[[:space:]]+<(SDL2?/|GL/)' "$file"; then
            echo "$file: includes SDL or GL below render/"
            bad=1
        fi
        if [[ $dir == render ]] && grep -qE '#[[:space:]]*include[[:space:]]+<SDL2?/' "$file"; then
            echo "$file: includes SDL outside platform/"
            bad=1
        fi
    done
done
exit $bad
