#!/usr/bin/env bash
# The installer as a user meets it, in the Wine prefix and on the display of the test run: it
# installs silently for the user alone, the installed program opens a data file that Explorer's
# association hands to it, the uninstaller refuses to run while that program runs, and then
# removes the program and its registry entries (the vendor's key too, once empty) but keeps the
# data file. Files and keys are checked, never exit codes alone: an installer of the wrong bitness
# exits 0 having done nothing. (That the question about the settings defaults to No cannot be
# seen in a silent uninstall, which always answers No.)
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
# A Quenby.exe of this Wine prefix still runs (other prefixes on the machine may run their own).
quenby_running() {
    local pid
    for pid in $(pgrep -f 'Quenby[.]exe'); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
            return 0
    done
    return 1
}
quenby_ended() { ! quenby_running; }

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

# While it runs, the uninstaller (run in place by _?=, so that it is waited for) leaves everything
# as it was: the running program would write its settings back after it.
uninstall_status=0
timeout 120 "$wine" "$folder/Uninstall.exe" /S "_?=$local_appdata\\Programs\\Quenby" ||
    uninstall_status=$?
[ "$uninstall_status" -ne 0 ] || fail "the uninstaller ran while Quenby was running"
[ -f "$folder/Quenby.exe" ] || fail "the uninstaller removed Quenby.exe while it was running"
key_exists 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenby' ||
    fail "the uninstaller removed the entry in Apps & features while Quenby was running"
echo "The uninstaller refused to run while Quenby was running."
"$wine" taskkill /f /im Quenby.exe >/dev/null 2>&1 || true
within_deadline quenby_ended || fail "Quenby did not end"

# The vendor's key as it is left when Quenby's settings have gone: empty, so it goes too. (Made
# through a key below it: Wine's reg add gives the key it makes an empty default value.)
"$wine" reg add 'HKCU\Software\Holvane\Quenby by Holvane' /f >/dev/null 2>&1
"$wine" reg delete 'HKCU\Software\Holvane\Quenby by Holvane' /f >/dev/null 2>&1
key_exists 'HKCU\Software\Holvane' || fail "no vendor key to begin with"

timeout 120 "$wine" "$folder/Uninstall.exe" /S
# The uninstaller runs from a copy of itself in the temporary folder and returns at once.
within_deadline file_missing "$folder/Quenby.exe" || fail "Quenby.exe is still installed"
within_deadline file_missing "$folder/Uninstall.exe" || fail "the uninstaller is still there"
within_deadline key_missing 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenby' ||
    fail "the entry in Apps & features is still there"
within_deadline key_missing 'HKCU\Software\Classes\Quenby.DataFile' ||
    fail "the data file association is still there"
within_deadline key_missing 'HKCU\Software\Holvane' || fail "an empty HKCU\Software\Holvane is left"
[ -f "$scratch/opened by association.quenbydata" ] || fail "the user's data file was removed"
echo "Uninstalled; the data file was kept."
