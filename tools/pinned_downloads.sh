# shellcheck shell=bash
# Sourced by tools/fetch_juce.sh and tools/build_windows.sh: downloads from Debian's archive
# through a private apt configuration, so the machine's own apt sources stay untouched, and
# pinned SHA-256 sums for every downloaded file. The caller declares the associative array
# `sums` (file name -> SHA-256) before using these; a package's files are the names that start
# with "PACKAGE_".
#
# A pinned version stays the first choice. The archive keeps only the current version of a
# package in each release, so once a point release or a security update replaces a pin, the
# fetch takes the version the release has now instead. That one is verified as apt verifies
# any download: InRelease against the keyring, the index against InRelease, and each file
# against the index. Its files and their sums replace the pinned ones in `sums`, and a record
# beside the downloads (.taken-PACKAGE) keeps them for later runs.

pinned_keyring=/usr/share/keyrings/debian-archive-keyring.gpg

# PACKAGE -> the version whose files `sums` now names.
declare -gA pinned_taken=()

# pinned_apt WORK_DIR SOURCES_LINE...
# Prepares a private apt tree in WORK_DIR that reads only the given sources.list lines, and
# sets the array aptOptions for apt-get to use it. Every line must name its keyring.
pinned_apt () {
    local work="$1" line
    shift
    for line in "$@"; do
        # Anything that lets apt accept an index without its signature would void every check
        # the fallback relies on.
        if [[ "$line" != *"signed-by=$pinned_keyring"* || "$line" =~ (trusted|allow-insecure|allow-weak|allow-downgrade-to-insecure)= ]]; then
            echo "pinned_downloads: refusing the source '$line': it must be signed-by $pinned_keyring and nothing else" >&2
            exit 1
        fi
    done
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
        # The machine's apt.conf.d is still read; none of it may relax the checks here.
        -o "APT::Get::AllowUnauthenticated=false"
        -o "Acquire::AllowInsecureRepositories=false"
        -o "Acquire::AllowWeakRepositories=false"
        -o "Acquire::AllowDowngradeToInsecureRepositories=false"
    )
    pinned_updated=
}

# pinned_fetch NAME DIR KIND PACKAGE VERSION WHERE
# Makes DIR hold the files of PACKAGE (KIND `source` for a source package, `deb` for a binary
# package) at VERSION, with the sums `sums` gives them, or, when the archive no longer has
# VERSION, at the version WHERE (a release, such as "Debian trixie") has now. Sets
# pinned_taken[PACKAGE]. Needs pinned_apt first; goes to the network only when DIR lacks the
# files. NAME starts each message.
pinned_fetch () {
    local name="$1" dir="$2" kind="$3" package="$4" pin="$5" where="$6"
    local record="$dir/.taken-$package" current listed version file index
    pinned_taken[$package]="$pin"

    if pinned_package_verified "$dir" "$package"; then
        return 0
    fi
    if pinned_use_record "$dir" "$package" "$pin"; then
        echo "$name: $package $pin is no longer in $where; using ${pinned_taken[$package]}, taken earlier and verified by the archive's signed index"
        return 0
    fi

    if [[ -z "$pinned_updated" ]]; then
        apt-get "${aptOptions[@]}" -qq update || { echo "$name: cannot reach Debian's archive for the package indexes" >&2; exit 1; }
        pinned_updated=1
    fi
    listed="$(pinned_index_versions "$kind" "$package")"
    if grep -qxF -- "$pin" <<< "$listed"; then
        pinned_drop_mismatches "$dir" < <(for file in "${!sums[@]}"; do
                                               [[ "$file" == "$package"_* ]] && echo "${sums[$file]}  $file"
                                           done)
        echo "$name: downloading $package $pin from $where"
        pinned_download "$dir" "$kind" "$package" "$pin" \
            || { echo "$name: apt-get could not download $package $pin from $where" >&2; exit 1; }
        return 0
    fi

    current=
    while read -r version; do
        if [[ -n "$version" ]] && { [[ -z "$current" ]] || dpkg --compare-versions "$version" gt "$current"; }; then
            current="$version"
        fi
    done <<< "$listed"
    [[ -n "$current" ]] || { echo "$name: $where has no $package at all (looked for $pin)" >&2; exit 1; }

    index="$(pinned_index_sums "$kind" "$package" "$current")"
    [[ -n "$index" ]] || { echo "$name: the index of $where lists $package $current without its files' SHA-256" >&2; exit 1; }
    pinned_drop_mismatches "$dir" <<< "$index"
    pinned_download "$dir" "$kind" "$package" "$current" \
        || { echo "$name: apt-get could not download $package $current from $where, which has it instead of $pin" >&2; exit 1; }
    # apt checks what it downloads against the index, but apt-get download keeps a file that is
    # already there unchecked; what goes into the record is checked here.
    if ! (cd "$dir" && sha256sum --quiet --check - <<< "$index" > /dev/null 2>&1); then
        echo "$name: refusing $package $current: its files do not match the SHA-256 in the index of $where" >&2
        exit 1
    fi
    printf 'pin %s\nversion %s\n%s\n' "$pin" "$current" "$index" > "$record.new"
    mv "$record.new" "$record"
    pinned_use_record "$dir" "$package" "$pin" || { echo "$name: cannot read back $record" >&2; exit 1; }
    echo "$name: $package $pin is no longer in $where; took $current, verified by the archive's signed index"
}

# pinned_package_verified DIR PACKAGE: whether DIR holds every file `sums` names for PACKAGE,
# with its sum.
pinned_package_verified () {
    local file found=
    for file in "${!sums[@]}"; do
        [[ "$file" == "$2"_* ]] || continue
        found=1
        [[ -f "$1/$file" ]] || return 1
        echo "${sums[$file]}  $1/$file" | sha256sum --quiet --check - > /dev/null 2>&1 || return 1
    done
    [[ -n "$found" ]]
}

# pinned_drop_mismatches DIR < "SHA-256  file" lines: removes each of those files in DIR that
# lacks its sum, left from an interrupted or tampered download; apt-get download would keep it.
pinned_drop_mismatches () {
    local sum file
    while read -r sum file; do
        if [[ -n "$file" && -e "$1/$file" ]] && ! echo "$sum  $1/$file" | sha256sum --quiet --check - > /dev/null 2>&1; then
            rm -f "$1/$file"
        fi
    done
}

# pinned_use_record DIR PACKAGE PIN: when DIR's record of what replaced PIN of PACKAGE names
# files that are all there with their sums, puts them into `sums` in place of the pinned ones.
pinned_use_record () {
    local record="$1/.taken-$2" pin version sum file
    [[ -f "$record" ]] || return 1
    { read -r _ pin && read -r _ version; } < "$record" || return 1
    [[ "$pin" == "$3" && -n "$version" ]] || return 1
    (cd "$1" && tail -n +3 "$record" | sha256sum --quiet --check - > /dev/null 2>&1) || return 1
    for file in "${!sums[@]}"; do
        [[ "$file" == "$2"_* ]] && unset "sums[$file]"
    done
    while read -r sum file; do
        sums["$file"]="$sum"
    done < <(tail -n +3 "$record")
    pinned_taken[$2]="$version"
}

# pinned_index_versions KIND PACKAGE: the versions of PACKAGE the private apt's indexes list,
# one a line.
pinned_index_versions () {
    local list=Packages
    [[ "$1" == source ]] && list=Sources
    apt-cache "${aptOptions[@]}" madison "$2" 2> /dev/null \
        | awk -F '|' -v package="$2" -v list=" $list" '{
              gsub(/^ +| +$/, "", $1); gsub(/^ +| +$/, "", $2); sub(/ +$/, "", $3)
              if ($1 == package && substr($3, length($3) - length(list) + 1) == list) print $2
          }'
}

# pinned_index_sums KIND PACKAGE VERSION: "SHA-256  file" for each file of PACKAGE at VERSION,
# as the index apt verified gives them; a binary package's file is named as apt-get download
# names it.
pinned_index_sums () {
    if [[ "$1" == source ]]; then
        apt-cache "${aptOptions[@]}" showsrc --only-source "$2" 2> /dev/null \
            | awk -v package="$2" -v version="$3" '
                  /^$/ { if (package == name && version == ver) exit; name = ver = files = ""; inSums = 0; next }
                  /^Package: / { name = $2 } /^Version: / { ver = $2 }
                  /^[^ ]/ { inSums = ($1 == "Checksums-Sha256:"); next }
                  inSums && NF == 3 { files = files $1 "  " $3 "\n" }
                  END { if (package == name && version == ver) printf "%s", files }'
    else
        apt-cache "${aptOptions[@]}" show "$2=$3" 2> /dev/null \
            | awk -v package="$2" -v version="$3" '
                  /^Package: / { name = $2 } /^Version: / { ver = $2 } /^Architecture: / { arch = $2 }
                  /^SHA256: / { sum = $2 }
                  /^$/ { if (sum != "") exit; name = ver = arch = sum = "" }
                  END { if (sum != "" && name == package && ver == version) {
                            gsub(/:/, "%3a", ver); printf "%s  %s_%s_%s.deb\n", sum, name, ver, arch } }'
    fi
}

# pinned_download DIR KIND PACKAGE VERSION: apt-get's download of PACKAGE=VERSION into DIR,
# each file checked against the index.
pinned_download () {
    if [[ "$2" == source ]]; then
        (cd "$1" && apt-get "${aptOptions[@]}" -qq source --download-only --only-source "$3=$4")
    else
        (cd "$1" && apt-get "${aptOptions[@]}" -qq download "$3=$4")
    fi
}

# pinned_file PACKAGE SUFFIX: the one file of PACKAGE in `sums` whose name ends in SUFFIX, as
# "libpng1.6_1.6.39-2+deb12u5.dsc" for `pinned_file libpng1.6 .dsc`.
pinned_file () {
    local file found=()
    for file in "${!sums[@]}"; do
        [[ "$file" == "$1"_*"$2" ]] && found+=("$file")
    done
    if [[ ${#found[@]} -ne 1 ]]; then
        echo "pinned_downloads: $1 has ${#found[@]} files ending in $2, not one" >&2
        exit 1
    fi
    echo "${found[0]}"
}

# pinned_check DIR NAME: fails, naming the file and both sums, unless every file `sums` names
# is in DIR with its sum. NAME starts each message.
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
