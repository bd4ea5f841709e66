#!/usr/bin/env bash
# The installer as a user meets it, in the Wine prefix and on the display of the test run: it
# installs silently for the user alone, the installed program opens a data file that Explorer's
# association hands to it, and the uninstaller removes the program and its registry entries but
# keeps the data file. Files and keys are checked, never exit codes alone: an installer of the
# wrong bitness exits 0 having done nothing.
# Arguments: the installer, wine, the example data file.
set -euo pipefail
setup=$1 wine=$2 example=$3
[ -n "${WINEPREFIX:-}" ] && [ -n "${DISPLAY:-}" ] || { echo "WINEPREFIX and DISPLAY must be set"; exit 1; }

# Runs the command until it succeeds, for at most 30 seconds.
within_deadline() {
    for _ in $(seq 300); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}
fail() { echo "FAILED: $*"; exit 1; }
key_exists() { "$wine" reg query "$1" >/dev/null 2>&1; }
key_missing() { ! key_exists "$1"; }
file_missing() { [ ! -e "$1" ]; }

local_appdata=$("$wine" cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
folder=$("$wine" winepath -u "$local_appdata\\Programs\\Quenby" 2>/dev/null | tr -d '\r')
[ -n "$folder" ] || fail "no programs folder of the user"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"; "$wine" taskkill /f /im Quenby.exe >/dev/null 2>&1 || true' EXIT

timeout 120 "$wine" "$setup" /S
within_deadline test -f "$folder/Quenby.exe" || fail "Quenby.exe is not in $folder"
[ -f "$folder/Uninstall.exe" ] || fail "no uninstaller in $folder"
key_exists 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenby' ||
    fail "no entry in Apps & features"
"$wine" reg query 'HKCU\Software\Classes\.quenbydata' 2>/dev/null | grep -q Quenby.DataFile ||
    fail ".quenbydata is not associated"
"$wine" reg query 'HKCU\Software\Classes\.quenbyencrypteddata' 2>/dev/null |
    grep -q Quenby.EncryptedDataFile || fail ".quenbyencrypteddata is not associated"
echo "Installed into $folder ($(stat -c %s "$setup") bytes of installer)."

# Opened as Explorer opens it: by the command the association names, with the file as the one
# argument. Read from the user's classes and run here, because Wine's ShellExecute looks only at
# the machine's classes: Windows merges the user's into them, Wine does not.
command=$("$wine" reg query 'HKCU\Software\Classes\Quenby.DataFile\shell\open\command' /ve 2>/dev/null |
    tr -d '\r' | sed -n 's/.*REG_SZ *//p')
expected="\"$local_appdata\\Programs\\Quenby\\Quenby.exe\" \"%1\""
[ "$command" = "$expected" ] || fail "the association runs [$command], not [$expected]"
cp "$example" "$scratch/opened by association.quenbydata"
document=$("$wine" winepath -w "$scratch/opened by association.quenbydata" 2>/dev/null | tr -d '\r')
"$wine" "$folder/Quenby.exe" "$document" >/dev/null 2>&1 &
within_deadline xdotool search --name "^opened by association - Quenby by Holvane$" ||
    fail "the installed program did not open the associated file"
echo "The installed program opened the associated file."
"$wine" taskkill /f /im Quenby.exe >/dev/null 2>&1 || true

timeout 120 "$wine" "$folder/Uninstall.exe" /S
# The uninstaller runs from a copy of itself in the temporary folder and returns at once.
within_deadline file_missing "$folder/Quenby.exe" || fail "Quenby.exe is still installed"
within_deadline file_missing "$folder/Uninstall.exe" || fail "the uninstaller is still there"
within_deadline key_missing 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenby' ||
    fail "the entry in Apps & features is still there"
within_deadline key_missing 'HKCU\Software\Classes\Quenby.DataFile' ||
    fail "the data file association is still there"
[ -f "$scratch/opened by association.quenbydata" ] || fail "the user's data file was removed"
echo "Uninstalled; the data file was kept."
