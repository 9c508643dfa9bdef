# Shared by scripts/install and scripts/uninstall (sourced, not run).
#
# The manifest (DIR/lib/quorel-install.manifest) has one entry a line, its
# fields separated by tabs:
#   file PATH             a file the installation wrote
#   dir PATH              a folder the installation made (removed when empty)
#   profile PROGRAM KEY   a user profile value set to the installation folder
#   system KEY VALUE      a machine-wide value the installation wrote
#   generated PATH        a cache a desktop tool made because of the installation

data_home=${XDG_DATA_HOME:-$HOME/.local/share}
config_home=${XDG_CONFIG_HOME:-$HOME/.config}
system_config=${QUOREL_SYSTEM_CONFIG_DIR:-/etc/xdg}
tab=$'\t'

# An absolute, clean path for DIR, or the reason it cannot be used.
check_install_dir() {
    local given=$1
    case "$given" in
    *[[:cntrl:]]*) echo "install: the folder name holds a control character: refused" >&2; exit 2 ;;
    "") echo "install: no folder given" >&2; exit 2 ;;
    esac
    dir=$(realpath -m -- "$given")
    if [ "$dir" = / ] || [ "$dir" = "$(realpath -m -- "$HOME")" ]; then
        echo "install: $dir is not a folder to install into" >&2
        exit 2
    fi
    if [ -e "$dir" ] && [ ! -d "$dir" ]; then
        echo "install: $dir exists and is not a folder" >&2
        exit 2
    fi
}

manifest_begin() {
    manifest="$1/lib/quorel-install.manifest"
    entries=()
    if [ -f "$manifest" ]; then
        # What an earlier installation made (folders, machine-wide values) is
        # still ours to remove, though this run finds it already there.
        mapfile -t entries <"$manifest"
    fi
}

record() {
    local IFS=$tab
    entries+=("$*")
}

record_dir() {
    record dir "$1"
}

# mkdir -p that records every folder it makes.
make_dirs() {
    local path=$1 missing=()
    while [ ! -e "$path" ]; do
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
    mkdir -p -- "$(dirname -- "$manifest")"
    printf '%s\n' "${entries[@]}" | awk '!seen[$0]++' >"$manifest.part"
    mv -f -- "$manifest.part" "$manifest"
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
    } >"$out.part"
    chmod 644 "$out.part"
    mv -f -- "$out.part" "$out"
}

write_autostart_entry() {
    local install=$1 out=$2
    cat >"$out.part" <<ENTRY
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
    chmod 644 "$out.part"
    mv -f -- "$out.part" "$out"
}

# The user's MIME and desktop-entry caches, after our files came or went.
refresh_desktop_databases() {
    if [ -d "$data_home/mime/packages" ] && command -v update-mime-database >/dev/null; then
        update-mime-database "$data_home/mime" >/dev/null 2>&1 || true
    fi
    local apps="$data_home/applications"
    if [ -d "$apps" ] && command -v update-desktop-database >/dev/null; then
        [ -e "$apps/mimeinfo.cache" ] || record generated "$apps/mimeinfo.cache"
        update-desktop-database -q "$apps" >/dev/null 2>&1 || true
    fi
}
