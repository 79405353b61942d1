#!/usr/bin/env bash
# scripts/install-deps without the network: stand-ins for apt-get, dpkg and id on the PATH, and
# probes that look under an empty folder, so that every package counts as missing.
set -uo pipefail
script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-deps
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/root"
cat >"$work/bin/apt-get" <<'STANDIN'
#!/usr/bin/env bash
# update fails as a mirror mid-sync makes it fail; install fails for the packages in $FAIL.
echo "apt-get $*" >>"$LOG"
[ "$1" = update ] && { echo "E: File has unexpected size" >&2; exit 100; }
for pkg in "$@"; do
    for bad in $FAIL; do [ "$pkg" = "$bad" ] && { echo "E: $pkg: broken" >&2; exit 100; }; done
done
exit 0
STANDIN
printf '#!/bin/sh\necho 0\n' >"$work/bin/id"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/dpkg"
chmod +x "$work/bin/"*

failures=0
# name | packages apt-get refuses | expected exit | text expected on stderr
while IFS='|' read -r name fail status expect; do
    : >"$work/log"
    err=$(PATH="$work/bin:$PATH" LOG="$work/log" FAIL="$fail" INSTALL_DEPS_ROOT="$work/root" \
        bash "$script" 2>&1 >/dev/null)
    got=$?
    if [ "$got" != "$status" ] || ! grep -qF -- "$expect" <<<"$err"; then
        echo "FAIL $name: exit $got (expected $status); stderr:"; echo "$err" | sed 's/^/    /'
        failures=$((failures + 1))
    elif [ "$status" = 0 ] && ! grep -q 'install .*libcli11-dev' "$work/log"; then
        echo "FAIL $name: the build's packages were not installed after the failed update"
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
done <<'CASES'
update fails, all installs work|none|0|warning: apt-get update failed
wine32 cannot be installed|wine32:i386|0|could not install wine32:i386: the 32-bit DLL is checked as a binary
the browser cannot be installed|chromium wine32:i386|0|the browser tests are skipped
npm cannot be installed|npm|0|could not install npm: the pages' scripts are not format-checked or linted
a package the build needs cannot be installed|libcli11-dev|1|error: the build needs
the studio's library source cannot be fetched|none|0|could not fetch cpp-httplib's source package
CASES
exit $((failures > 0))
