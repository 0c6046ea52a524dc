#!/usr/bin/env bash
# veltrane.exe is a 32-bit GUI program that imports only DLLs Windows ships,
# and carries its manifest, version information and the event log's messages.
set -u
exe=$1
dlls=$(i686-w64-mingw32-objdump -p "$exe" 2>/dev/null | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
system_dlls=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll comctl32.dll ole32.dll oleaut32.dll psapi.dll wininet.dll urlmon.dll msvcrt.dll comdlg32.dll version.dll ws2_32.dll uxtheme.dll wintrust.dll crypt32.dll bcrypt.dll "
foreign=""
for d in $dlls; do case "$system_dlls" in *" $d "*) ;; *) foreign="$foreign $d" ;; esac; done
status=0
file "$exe" | grep -q 'PE32 executable (GUI) Intel 80386' || { echo "not a 32-bit GUI program: $(file "$exe")"; status=1; }
[ -n "$dlls" ] || { echo "no imports found"; status=1; }
[ -z "$foreign" ] || { echo "imports DLLs Windows does not ship:$foreign"; status=1; }
strings "$exe" | grep -q 'requestedExecutionLevel level="highestAvailable"' || { echo "no manifest asking for the highest available rights"; status=1; }
strings "$exe" | grep -q 'Microsoft.Windows.Common-Controls' || { echo "the manifest does not ask for common controls 6"; status=1; }
{ strings "$exe"; strings -e l "$exe"; } | grep -qF 'Veltrane protection started.' || { echo "no message table for the event log"; status=1; }
for field in ProductName Veltrane CompanyName Quorvik ProductVersion 1.0 FileVersion 1.0.6; do
  strings -n 3 -e l "$exe" | grep -qx "$field" || { echo "version information lacks \"$field\""; status=1; }
done
[ $status -eq 0 ] && echo "veltrane.exe: PE32 GUI, imports:" $dlls
exit $status
