#!/usr/bin/env bash
# The Windows packages (make package-windows, tools/windows/package) from this
# Windows build, and the MSI under wine as IT deploys it:
#
# - signed with a throwaway self-signed certificate made here: both programs
#   inside the zip and the MSI carry signatures that osslsigncode verifies;
#   a package built without a certificate says that it is unsigned;
# - the MSI's tables: the files, the Start menu shortcut, the per-user
#   folder, the upgrade rows and properties; the UpgradeCode stays the same
#   from one build to the next, the ProductCode does not;
# - in a wine prefix of the test's own: msiexec /i /qn installs the programs
#   and the shortcut where the tables say; the installed quillane.exe starts
#   and shows its window (inside a network namespace of the test's own, with
#   loopback only: the tool reaches no network); a newer package upgrades in
#   place (one installed product, the new version); msiexec /x removes the
#   programs and the shortcut and keeps a settings file written meanwhile.
#
# Needs root (the namespace), wine64, Xvfb, the Chinese dialog font, wixl,
# msiinfo, osslsigncode and openssl; skips with the reason when one is missing.
set -euo pipefail
SRC=${QUILLANE_SOURCE_DIR:-$(cd "$(dirname "$0")/../../.." && pwd)}
WBUILD=${QUILLANE_WINDOWS_BUILD_DIR:-$SRC/build-windows}
source "$SRC/tools/windows/wine_session.sh"

[[ $(id -u) -eq 0 ]] || { echo "SKIP: needs root for a network namespace"; exit 77; }
missing=$(wine_session_missing)
for tool in wixl msiinfo osslsigncode openssl zip; do
    command -v "$tool" >/dev/null || missing+=" $tool"
done
[[ -z "${missing// /}" ]] || { echo "SKIP: needs$([[ $missing == " "* ]] || echo " ")$missing"; exit 77; }
for program in "$WBUILD/win32/quillane.exe" "$WBUILD/cli/quillane-cli.exe" "${WINDOW_DRIVER:-}"; do
    [[ -f "$program" ]] || { echo "SKIP: $program is not built (make windows)"; exit 77; }
done

T=$(mktemp -d)
NS=qpkg$$
tool_pid=
finish() {
    local status=$?
    set +e
    wine_session_end
    [[ -n "$tool_pid" ]] && wait "$tool_pid" 2>/dev/null
    ip netns del "$NS" 2>/dev/null
    rm -rf "$T"
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT TERM
fail() { echo "FAIL: $*"; exit 1; }

# --- Packages: signed, and a newer build unsigned -------------------------
version=$(head -n1 "$SRC/VERSION")
newer=$(awk -F. '{ printf "%d.%d.%d", $1, $2, $3 + 1 }' <<<"$version")
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$T/key.pem" -out "$T/cert.pem" -days 2 \
    -subj "/CN=Quillane test signing" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
SIGN_CERT=$T/cert.pem SIGN_KEY=$T/key.pem "$SRC/tools/windows/package" "$WBUILD" "$T/v1" >"$T/package-v1.out"
QUILLANE_PACKAGE_VERSION=$newer "$SRC/tools/windows/package" "$WBUILD" "$T/v2" >"$T/package-v2.out"
msi1=$T/v1/quillane-$version-windows-x64.msi
msi2=$T/v2/quillane-$newer-windows-x64.msi
zip1=$T/v1/quillane-$version-windows-x64.zip
for file in "$msi1" "$msi2" "$zip1" "$T/v2/quillane-$newer-windows-x64.zip"; do
    [[ -f "$file" ]] || fail "no $(basename "$file")"
done
grep -q '^unsigned: ' "$T/package-v2.out" || fail "an unsigned build does not say so"
grep -q '^unsigned: ' "$T/package-v1.out" && fail "a signed build says it is unsigned"

python3 - "$zip1" "$T/unzipped" <<'PY'
import sys, zipfile
names = sorted(zipfile.ZipFile(sys.argv[1]).namelist())
want = ["Quillane/", "Quillane/LICENSE.txt", "Quillane/README.txt", "Quillane/quillane-cli.exe", "Quillane/quillane.exe"]
assert names == want, names
zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])
PY
grep -q "firewall --allow" "$T/unzipped/Quillane/README.txt" || fail "the readme does not name the firewall command"
for file in "$T/unzipped/Quillane/quillane.exe" "$T/unzipped/Quillane/quillane-cli.exe" "$msi1"; do
    osslsigncode verify -CAfile "$T/cert.pem" -in "$file" >"$T/verify.out" 2>&1 ||
        { cat "$T/verify.out"; fail "the signature of $(basename "$file") does not verify"; }
done
osslsigncode verify -CAfile "$T/cert.pem" -in "$msi2" >/dev/null 2>&1 && fail "the unsigned MSI verifies"

# --- The MSI's tables -------------------------------------------------------
table() { msiinfo export "$1" "$2" | tr -d '\r' | tail -n +4; }  # the rows, without the three header lines
property() { table "$1" Property | awk -F'\t' -v p="$2" '$1 == p { print $2 }'; }
table "$msi1" File | cut -f3 | LC_ALL=C sort | tr '\n' ' ' | grep -qx 'LICENSE.txt README.txt quillane-cli.exe quillane.exe ' ||
    fail "the MSI's files: $(table "$msi1" File | cut -f3 | tr '\n' ' ')"
table "$msi1" Shortcut | awk -F'\t' '$2 == "ProgramMenuFolder" && $3 == "Quillane" && $5 == "[INSTALLDIR]quillane.exe"' |
    grep -q . || fail "no Start menu shortcut to quillane.exe: $(table "$msi1" Shortcut)"
table "$msi1" Directory | awk -F'\t' '{ print $1 " " $2 " " $3 }' | grep -qx 'INSTALLDIR UserProgramsFolder Quillane' ||
    fail "the programs' folder is not Programs\\Quillane"
table "$msi1" Directory | grep -q $'^UserProgramsFolder\tLocalAppDataFolder\tPrograms$' ||
    fail "the programs' folder is not under the user's local application data"
[[ -z "$(property "$msi1" ALLUSERS)" ]] || fail "the package installs for all users (ALLUSERS set)"
[[ "$(property "$msi1" ProductVersion)" == "$version" && "$(property "$msi2" ProductVersion)" == "$newer" ]] ||
    fail "product versions $(property "$msi1" ProductVersion) / $(property "$msi2" ProductVersion)"
upgrade_code=$(property "$msi1" UpgradeCode)
[[ -n "$upgrade_code" && "$upgrade_code" == "$(property "$msi2" UpgradeCode)" ]] || fail "the UpgradeCode changed between builds"
[[ "$(property "$msi1" ProductCode)" != "$(property "$msi2" ProductCode)" ]] || fail "two builds share a ProductCode"
table "$msi2" Upgrade | awk -F'\t' -v c="$upgrade_code" 'toupper($1) == toupper(c) && $3 == "'"$newer"'" && $7 == "WIX_UPGRADE_DETECTED"' |
    grep -q . || fail "the newer MSI does not replace older versions: $(table "$msi2" Upgrade)"
table "$msi1" InstallExecuteSequence | grep -q '^RemoveExistingProducts' || fail "no RemoveExistingProducts action"

# --- Under wine: install, start, upgrade, uninstall --------------------------
ip netns add "$NS"
ip netns exec "$NS" ip link set lo up
wine_session_begin "$T/wine" ip netns exec "$NS"
localappdata=$(wine_session_exec cmd.exe /c echo %LOCALAPPDATA% | tr -d '\r')
appdata=$(wine_session_exec cmd.exe /c echo %APPDATA% | tr -d '\r')
unix_path() { wine_session_exec winepath.exe -u "$1" | tr -d '\r'; }
installed=$(unix_path "$localappdata\\Programs\\Quillane")
shortcut=$(unix_path "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Quillane.lnk")
products() {  # the uninstall entries named Quillane, as "VERSION" lines
    wine_session_exec reg.exe query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
        tr -d '\r' | awk '/^HKEY/ { name = ""; version = "" } /DisplayName +REG_SZ +Quillane$/ { name = 1 }
            /DisplayVersion +REG_SZ/ { version = $3 } name && version { print version; name = "" }'
}

wine_session_exec --timeout 300 msiexec.exe /i "$(wine_session_path "$msi1")" /qn || fail "msiexec /i exited with $?"
for file in quillane.exe quillane-cli.exe README.txt LICENSE.txt; do
    [[ -f "$installed/$file" ]] || fail "$file is not in $installed"
done
[[ -d "$installed/log" ]] || fail "no log folder beside the programs"
[[ -f "$shortcut" ]] || fail "no Start menu shortcut at $shortcut"
cmp -s "$installed/quillane.exe" "$T/unzipped/Quillane/quillane.exe" || fail "the installed quillane.exe is not the signed one"
[[ "$(products)" == "$version" ]] || fail "installed products: $(products | tr '\n' ' ')"

# The installed window starts (English) and shows its window; it writes its
# settings file beside itself, as an operator's run does.
printf '[LANGUAGE]\r\nCurLanguage=2\r\n' >"$installed/Config.ini"
wine_session_exec "$installed/quillane.exe" >"$T/tool.out" 2>&1 &
tool_pid=$!
wine_session_driver
drive window 60000 || { cat "$T/tool.out"; fail "the installed quillane.exe shows no window"; }
[[ "$(drive title)" == "Quillane" ]] || fail "the window's title is $(drive title)"
[[ "$(drive text 1001)" == "Find" ]] || fail "the Find button reads $(drive text 1001)"
drive close
drive wait-closed 20000
wait "$tool_pid" || fail "quillane.exe exited with $?"
tool_pid=
[[ -f "$installed/Quillane.ini" ]] || fail "the window wrote no Quillane.ini beside itself"
cp "$installed/Quillane.ini" "$T/settings-before"

wine_session_exec --timeout 300 msiexec.exe /i "$(wine_session_path "$msi2")" /qn || fail "the upgrade exited with $?"
[[ "$(products)" == "$newer" ]] || fail "after the upgrade: $(products | tr '\n' ' ') (want only $newer)"
[[ -f "$installed/quillane.exe" && -f "$shortcut" ]] || fail "the upgrade left no program or no shortcut"
cmp -s "$installed/Quillane.ini" "$T/settings-before" || fail "the upgrade changed the settings file"

wine_session_exec --timeout 300 msiexec.exe /x "$(wine_session_path "$msi2")" /qn || fail "msiexec /x exited with $?"
for file in quillane.exe quillane-cli.exe README.txt LICENSE.txt; do
    [[ ! -e "$installed/$file" ]] || fail "$file stayed after uninstalling"
done
[[ ! -e "$shortcut" ]] || fail "the shortcut stayed after uninstalling"
[[ -z "$(products)" ]] || fail "still installed: $(products | tr '\n' ' ')"
cmp -s "$installed/Quillane.ini" "$T/settings-before" || fail "uninstalling removed or changed the settings file"
[[ -f "$installed/Config.ini" ]] || fail "uninstalling removed Config.ini"
echo "PASS: packages $version and $newer signed/unsigned, installed, started, upgraded and removed"
