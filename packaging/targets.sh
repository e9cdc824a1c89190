# shellcheck shell=bash
# Sourced by the scripts that read the declared targets: targets holds the
# lines of cmake/targets.cmake, and fact reads one field of a line by name.

# shellcheck disable=SC2034 # read by the scripts that source this one
targets=$(cmake -P "$(dirname "${BASH_SOURCE[0]}")/../cmake/targets.cmake")

# fact FIELD LINE: the value of FIELD in LINE; a field no line has is an error.
fact() {
    local word words
    read -ra words <<<"$2"
    for word in "${words[@]}"; do
        if [ "${word%%=*}" = "$1" ]; then
            echo "${word#*=}"
            return 0
        fi
    done
    echo "no fact '$1' in: $2" >&2
    return 1
}
