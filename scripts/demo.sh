#!/usr/bin/env bash
# The main job: set up what is needed, build pelko-setup.exe around the demo payload, run it under
# Wine as a user would (a first install, then an update while the app runs) and show what it did.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --workflow --preset demo >/dev/null

export WINEDEBUG=-all
export WINEPREFIX="$PWD/build/demo-wineprefix"
# The shortcut stays in the prefix's Start Menu: no menu entry on this machine's own desktop.
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
setup_exe="$PWD/build/installer/pelko-setup.exe"

section() { printf '\n\033[1m== %s\033[0m\n' "$*"; }

section "A fresh Windows user profile (Wine prefix $WINEPREFIX)"
wineserver -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
local_app_data="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local"
app_data="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming"
install_dir="$local_app_data/Programs/Pelko"
log="$local_app_data/Pelko/logs/setup.log"
shortcut="$app_data/Microsoft/Windows/Start Menu/Programs/Pelko.lnk"
ls -l "$setup_exe"

show_result() {
  echo "exit code: $1"
  section "Setup log ($log)"
  cat "$log" 2>/dev/null || echo "(no log)"
  section "Installed files ($install_dir)"
  if [ -d "$install_dir" ]; then (cd "$install_dir" && find . -type f -printf '%10s  %P\n' | sort -k2); else echo "(none)"; fi
  section "Uninstall entry (wine reg query)"
  wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelko' 2>/dev/null \
    | tr -d '\r' || echo "(none)"
  section "Start Menu shortcut ($shortcut)"
  if [ -f "$shortcut" ]; then
    lnkinfo "$shortcut" | grep -E 'Description|Working directory|Icon location|Local path|Relative path' || true
  else
    echo "(none)"
  fi
  section "Running app processes"
  sleep 1
  # Running ones only: Wine's processes that have ended linger as <defunct> for a while.
  ps -eo pid,stat,args | awk 'NR > 1 && $2 !~ /^Z/ && tolower($0) ~ /pelko(-guard)?\.exe/ &&
                              $3 != "awk" { $2 = ""; print }' | grep . || echo "(none)"
}

section "First install: wine pelko-setup.exe"
set +e; wine "$setup_exe"; code=$?; set -e
show_result $code

section "Update while the app runs: wine pelko-setup.exe --update"
set +e; wine "$setup_exe" --update; code=$?; set -e
show_result $code

section "Ending the demo app (pelko.exe --quit) and Wine"
if [ -f "$install_dir/pelko.exe" ]; then wine "$install_dir/pelko.exe" --quit || true; fi
wineserver -k >/dev/null 2>&1 || true
