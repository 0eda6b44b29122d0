# Sourced by the build scripts: the cmake options that compile through ccache where it is
# installed (one cache for every build folder), none where it is not.
ccache_options=()
if command -v ccache >/dev/null; then
    ccache_options=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
