# Sourced by tools/fetch_juce.sh and tools/build_windows.sh: downloads from Debian's archive
# through a private apt configuration, so the machine's own apt sources stay untouched, and
# pinned SHA-256 sums for every downloaded file. The caller declares the associative array
# `sums` (file name -> SHA-256) before using these.

pinned_keyring=/usr/share/keyrings/debian-archive-keyring.gpg

# pinned_apt WORK_DIR SOURCES_LINE...
# Prepares a private apt tree in WORK_DIR that reads only the given sources.list lines, and
# sets the array aptOptions for apt-get to use it.
pinned_apt () {
    local work="$1"
    shift
    mkdir -p "$work/etc/sources.list.d" "$work/etc/preferences.d" "$work/state/lists/partial" \
             "$work/cache/archives/partial"
    printf '%s\n' "$@" > "$work/etc/sources.list"
    aptOptions=(
        -o "Dir::Etc::sourcelist=$work/etc/sources.list"
        -o "Dir::Etc::sourceparts=$work/etc/sources.list.d"
        -o "Dir::Etc::preferencesparts=$work/etc/preferences.d"
        -o "Dir::State=$work/state"
        -o "Dir::State::status=/var/lib/dpkg/status"
        -o "Dir::Cache=$work/cache"
        -o "APT::Architectures::=amd64"
        -o "APT::Sandbox::User=root"
        -o "Acquire::Retries=3"
        -o "Debug::NoLocking=1"
    )
}

# pinned_all_verified DIR: whether every pinned file is in DIR with its sum.
pinned_all_verified () {
    local file
    for file in "${!sums[@]}"; do
        [[ -f "$1/$file" ]] || return 1
        echo "${sums[$file]}  $1/$file" | sha256sum --quiet --check - > /dev/null 2>&1 || return 1
    done
}

# pinned_check DIR NAME: fails, naming the file and both sums, unless every pinned file is in DIR
# with its sum. NAME starts each message.
pinned_check () {
    local file actual
    for file in "${!sums[@]}"; do
        if [[ ! -f "$1/$file" ]]; then
            echo "$2: $file was not downloaded" >&2
            exit 1
        fi
        actual="$(sha256sum "$1/$file" | cut -d' ' -f1)"
        if [[ "$actual" != "${sums[$file]}" ]]; then
            echo "$2: SHA-256 mismatch for $file: expected ${sums[$file]}, got $actual" >&2
            exit 1
        fi
    done
}
