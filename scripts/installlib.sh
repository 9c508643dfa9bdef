# Shared by scripts/install and scripts/uninstall (sourced, not run).
#
# The manifest (DIR/lib/quorel-install.manifest) starts with the line
# "# quorel-install-manifest 2" and has one entry a line after it, its fields
# separated by tabs:
#   file PATH SHA256      a file the installation wrote, and its content
#   link PATH TARGET      a symbolic link the installation made
#   dir PATH              a folder the installation made (removed when empty)
#   profile PROGRAM KEY   a user profile value set to the installation folder
#   system KEY VALUE      a machine-wide value the installation wrote
#   generated PATH        a cache a desktop tool made because of the installation
# Installations made before the checksums came have no first line and no
# SHA256: they are still ours, but their files cannot be told from files a
# user changed since.
#
# A manifest is a file anyone can edit, so neither script acts on an entry
# outside the places the installation writes: DIR itself, the desktop entry,
# icon, MIME types and autostart entry, the two ProPathName values and the
# four machine-wide sample paths.

# Relative XDG values are invalid and ignored, as the XDG base-directory
# rules for those variables ask.
data_home=$HOME/.local/share
case "${XDG_DATA_HOME:-}" in /*) data_home=$XDG_DATA_HOME ;; esac
config_home=$HOME/.config
case "${XDG_CONFIG_HOME:-}" in /*) config_home=$XDG_CONFIG_HOME ;; esac
system_config=${QUOREL_SYSTEM_CONFIG_DIR:-/etc/xdg}
tab=$'\t'
manifest_header='# quorel-install-manifest 2'
sample_keys=(SampleZonePath=sample.zone SampleReverseZonePath=sample-reverse.zone
    SampleNamedconfPath=named.conf SampleVirtualHostConfPath=vhost.conf)

# An absolute, clean path for DIR, or the reason it cannot be used.
check_install_dir() {
    local given=$1
    case "$given" in
    *[[:cntrl:]]*) echo "$me: the folder name holds a control character: refused" >&2; exit 2 ;;
    "") echo "$me: no folder given" >&2; exit 2 ;;
    esac
    dir=$(realpath -m -- "$given")
    if [ "$dir" = / ] || [ "$dir" = "$(realpath -m -- "$HOME")" ]; then
        echo "$me: $dir is not a folder to install into" >&2
        exit 2
    fi
    if [ -e "$dir" ] && [ ! -d "$dir" ]; then
        echo "$me: $dir exists and is not a folder" >&2
        exit 2
    fi
    manifest="$dir/lib/quorel-install.manifest"
}

# PATH with its folder resolved (links, "..") and its last part kept as
# written: a link is judged where it lies, not where it points, and
# DIR/../x is not in DIR. Empty for a relative path or one ending in . or ..
place_of() {
    local path=$1 base parent
    case "$path" in /*) ;; *) return 0 ;; esac
    base=$(basename -- "$path")
    case "$base" in . | .. | /) return 0 ;; esac
    parent=$(realpath -m -- "$(dirname -- "$path")")
    printf '%s/%s' "${parent%/}" "$base"
}

# The files outside DIR that install writes, and the folders those and DIR
# sit in; computed once DIR is known.
find_places() {
    fixed_files=("$(place_of "$data_home/applications/quorel.desktop")"
        "$(place_of "$data_home/icons/hicolor/48x48/apps/quorel.png")"
        "$(place_of "$data_home/mime/packages/quorel.xml")"
        "$(place_of "$config_home/autostart/pellwick.desktop")")
    mime_cache=$(place_of "$data_home/applications/mimeinfo.cache")
    mime_dir=$(place_of "$data_home/mime")
    anchors=("$dir" "$(place_of "$config_home/VANTO")" "$(place_of "$system_config/VANTO")")
    local f
    for f in "${fixed_files[@]}"; do
        anchors+=("$(dirname -- "$f")")
    done
    home_real=$(realpath -m -- "$HOME")
}

# Whether PLACE (as place_of gives it) is DIR or below it.
in_dir() {
    case "$1" in "$dir" | "$dir"/*) return 0 ;; esac
    return 1
}

allowed_file() {
    local p=$1 f
    [ -n "$p" ] || return 1
    case "$p" in "$dir"/*) return 0 ;; esac
    for f in "${fixed_files[@]}"; do
        [ "$p" = "$f" ] && return 0
    done
    return 1
}

# DIR and what is in it, and the folders holding DIR or a fixed place (the
# installation may have made them); never the home folder or above it.
allowed_dir() {
    local p=$1 a
    [ -n "$p" ] || return 1
    in_dir "$p" && return 0
    [ "$p" = / ] && return 1
    case "$home_real/" in "$p"/*) return 1 ;; esac
    for a in "${anchors[@]}"; do
        case "$a" in "$p" | "$p"/*) return 0 ;; esac
    done
    return 1
}

allowed_profile() {
    [ "$1$tab$2" = "Quorel${tab}EnvOption/ProPathName" ] || [ "$1$tab$2" = "Pellwick${tab}AutoUpdateInfo/ProPathName" ]
}

# The value install writes for a machine-wide sample KEY, or failure.
sample_value() {
    local pair
    for pair in "${sample_keys[@]}"; do
        if [ "$1" = "${pair%%=*}" ]; then
            printf '%s' "$dir/samples/${pair#*=}"
            return 0
        fi
    done
    return 1
}

allowed_system() {
    local value
    value=$(sample_value "$1") && [ "$2" = "$value" ]
}

sha256_of() {
    local sum
    sum=$(sha256sum <"$1") || return 1
    printf '%s' "${sum%% *}"
}

# Reads DIR's manifest into manifest_entries. manifest_version is 2 for one
# with checksums, 1 for one an older install wrote, and empty when there is
# none or the file there is not ours.
read_manifest() {
    manifest_version=
    manifest_entries=()
    [ -f "$manifest" ] && [ ! -L "$manifest" ] && [ "$(place_of "$manifest")" = "$manifest" ] || return 0
    local first
    IFS= read -r first <"$manifest" || true
    if [ "$first" = "$manifest_header" ]; then
        manifest_version=2
    elif [ -s "$manifest" ] && ! grep -qvE \
        $'^((file|dir|generated)\t[^\t]+|(profile|system)\t[^\t]+\t[^\t]*)$' -- "$manifest"; then
        manifest_version=1
    else
        return 0
    fi
    mapfile -t manifest_entries <"$manifest"
}

# One manifest line as a reader sees it.
show_entry() {
    printf '%s' "${1//$tab/ }"
}

record() {
    local IFS=$tab
    entries+=("$*")
}

record_dir() {
    record dir "$(place_of "$1")"
}

# mkdir -p that records every folder it makes.
make_dirs() {
    local path=$1 missing=()
    while [ ! -e "$path" ] && [ ! -L "$path" ]; do
        missing+=("$path")
        path=$(dirname -- "$path")
    done
    mkdir -p -- "$1"
    local d
    for d in "${missing[@]}"; do
        record_dir "$d"
    done
}

manifest_commit() {
    local part
    mkdir -p -- "$(dirname -- "$manifest")"
    part=$(mktemp -- "$manifest.XXXXXX")
    {
        printf '%s\n' "$manifest_header"
        [ ${#entries[@]} -eq 0 ] || printf '%s\n' "${entries[@]}" | awk '!seen[$0]++'
    } >"$part"
    chmod 644 -- "$part"
    mv -f -T -- "$part" "$manifest"
}

# Whether this user may make and write PATH (a folder that may not exist yet).
can_write_dir() {
    local path=$1
    while [ ! -e "$path" ]; do
        path=$(dirname -- "$path")
    done
    [ -d "$path" ] && [ -w "$path" ] && [ -x "$path" ]
}

# A desktop-entry string: backslashes doubled.
desktop_string() {
    local s=$1
    printf '%s' "${s//\\/\\\\}"
}

# One quoted argument of a desktop entry's Exec line.
desktop_exec_arg() {
    local s=$1
    s=${s//\\/\\\\}
    s=${s//\"/\\\"}
    s=${s//\`/\\\`}
    s=${s//\$/\\\$}
    s=${s//%/%%}
    # The value is itself a desktop-entry string, whose backslashes double.
    s=${s//\\/\\\\}
    printf '"%s"' "$s"
}

write_desktop_entry() {
    local template=$1 install=$2 out=$3 line
    {
        while IFS= read -r line; do
            if [ "$line" = "Exec=Quorel %f" ]; then
                printf 'TryExec=%s\n' "$(desktop_string "$install/Quorel")"
                printf 'Exec=%s %%f\n' "$(desktop_exec_arg "$install/Quorel")"
            else
                printf '%s\n' "$line"
            fi
        done <"$template"
    } >"$out"
    chmod 644 "$out"
}

write_autostart_entry() {
    local install=$1 out=$2
    cat >"$out" <<ENTRY
[Desktop Entry]
Type=Application
Name=Pellwick
Name[ko]=린드바트 자동 업데이트
Comment=Checks for and installs updates of Quorel once a session
Comment[ko]=린드바트의 업데이트를 확인하고 설치합니다
TryExec=$(desktop_string "$install/Pellwick")
Exec=$(desktop_exec_arg "$install/Pellwick")
Icon=quorel
Terminal=false
NoDisplay=true
X-GNOME-Autostart-enabled=true
ENTRY
    chmod 644 "$out"
}

# The user's MIME and desktop-entry caches, after our files came or went.
refresh_desktop_databases() {
    if [ -d "$data_home/mime/packages" ] && command -v update-mime-database >/dev/null; then
        update-mime-database "$data_home/mime" >/dev/null 2>&1 || true
    fi
    local apps="$data_home/applications"
    if [ -d "$apps" ] && command -v update-desktop-database >/dev/null; then
        [ -e "$apps/mimeinfo.cache" ] || record generated "$mime_cache"
        update-desktop-database -q "$apps" >/dev/null 2>&1 || true
    fi
}
