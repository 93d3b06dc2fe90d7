#!/usr/bin/env bash
# The layer check passes on the tree, and catches a lower folder including a
# higher one, and GL below the renderer, once they are planted in a copy.
set -u
src=$1
check=$src/scripts/check-layers.sh
"$check" "$src" || { echo "the tree breaks its layering"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
plant() {  # plant FILE LINE EXPECTED-REPORT
    rm -rf "${tmp:?}"/*
    for d in base parallel mesh tools render platform app; do cp -r "$src/$d" "$tmp/"; done
    echo "$2" >>"$tmp/$1"
    if out=$("$check" "$tmp"); then
        echo "planted '$2' in $1 went unnoticed"
        exit 1
    fi
    grep -q "$3" <<<"$out" || { echo "planted '$2' in $1, got: $out"; exit 1; }
}
plant mesh/mesh.h '#include "tools/brush.h"' 'mesh/mesh.h:[0-9]* includes tools/'
plant render/scene.cpp '#include "platform/window.h"' 'render/scene.cpp:[0-9]* includes platform/'
plant tools/draw.cpp '#include <GL/gl.h>' 'tools/draw.cpp: includes SDL or GL'
echo "layers: 4 checks passed"
