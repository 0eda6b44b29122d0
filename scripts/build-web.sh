#!/usr/bin/env bash
# Builds the show for a web browser from a clean clone, in one go:
#   build-web/deps/        the libraries, from Debian's source packages, built with emcc
#   build/data/            the song and pictures, by the Linux build's generators
#   build-web/page-data/   what the page preloads: data/ as the show reads it, and the two
#                          font faces the Linux build draws from (fonts/)
#   build-web/             index.html, show.js, show.wasm and show.data, to be served as
#                          they are (python3 -m http.server -d build-web)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
# Emscripten finds Debian's acorn only through here.
export NODE_PATH=/usr/share/nodejs

fail() {
    echo "build-web: $*" >&2
    exit 1
}

bash scripts/install-deps.sh web
deps=$root/build-web/deps
bash scripts/windows/build-libs.sh --web "$deps"

source scripts/ccache-options.sh

bash scripts/build.sh --no-tests pictures song

# The faces the desktop's fontconfig gives the show for Arial bold and for Wingdings.
faces=(/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf:LiberationSans-Bold.ttf
    /usr/share/fonts/truetype/ancient-scripts/Symbola_hint.ttf:Symbola.ttf)
stage=build-web/page-data
rm -rf "$stage.new"
mkdir -p "$stage.new/data" "$stage.new/fonts"
for file in $(grep -v '^#' app/MediaFiles.txt); do
    [ -f "build/data/$file" ] || fail "build/data/$file was not made"
    cp "build/data/$file" "$stage.new/data/"
done
for face in "${faces[@]}"; do
    [ -f "${face%%:*}" ] || fail "${face%%:*} is missing; run scripts/install-deps.sh run"
    cp "${face%%:*}" "$stage.new/fonts/${face##*:}"
done
# Rebuilt only when something in it changed, so the page is relinked only then.
if ! diff -r "$stage.new" "$stage" >/dev/null 2>&1; then
    rm -rf "$stage"
    mv "$stage.new" "$stage"
    touch "$stage/.complete"
else
    rm -rf "$stage.new"
fi

nice emcmake cmake -S . -B build-web -G Ninja -DCMAKE_BUILD_TYPE=Release -DLARKSPUR_WERROR=ON \
    -DLARKSPUR_PLATFORM=web -DLARKSPUR_WEB_DEPS="$deps" -DLARKSPUR_WEB_DATA="$root/$stage" \
    "${ccache_options[@]}" >/dev/null
nice cmake --build build-web -j "$(nproc)" --target larkspur larkspur-test-page
for file in index.html show.js show.wasm show.data; do
    [ -f "build-web/$file" ] || fail "build-web/$file was not made"
done
echo "build-web: $root/build-web/index.html"
