#!/usr/bin/env bash
# Puts the stand-ins of Windows' own tools and of the remote-access service into the system folders
# of a Wine prefix, where velmora.exe and velmora-ipsec.exe take them from: rasapi32.dll, rasdial,
# route, ping and netsh into the folder a 32-bit program gets as its system folder (syswow64 in a
# 64-bit prefix), and netsh also into the native one (system32, which a 32-bit program reaches as
# Sysnative).
# Usage: install-standins.sh <prefix folder> <folder of the stand-ins>
set -euo pipefail
prefix=$1
standins=$2
windows="$prefix/drive_c/windows"
thirtyTwoBit="$windows/system32"
[ -d "$windows/syswow64" ] && thirtyTwoBit="$windows/syswow64"
for tool in rasdial route ping netsh; do
  cp -f "$standins/$tool.exe" "$thirtyTwoBit/$tool.exe"
done
cp -f "$standins/rasapi32.dll" "$thirtyTwoBit/rasapi32.dll"
cp -f "$standins/netsh.exe" "$windows/system32/netsh.exe"
