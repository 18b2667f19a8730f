# Environment for running the Windows programs under Wine; sourced by the other scripts.
# VELMORA_WINE_ROOT is the folder under the build tree that holds the throw-away prefixes
# and the virtual display's number.
: "${VELMORA_WINE_ROOT:?VELMORA_WINE_ROOT must name the Wine folder of the build tree}"
export WINEPREFIX="${VELMORA_WINE_PREFIX:-$VELMORA_WINE_ROOT/prefix}"
# Quiet unless the caller asks for channels (VELMORA_WINEDEBUG=err+all, say).
export WINEDEBUG="${VELMORA_WINEDEBUG:--all}"
# Code page 936 for the ANSI APIs, as on Simplified Chinese Windows.
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
# The stand-in rasapi32.dll beside the test programs and the stand-ins in the system folders in
# place of Wine's own (Notepad too, which the desktop's shell starts); no .NET or HTML engine
# prompts.
export WINEDLLOVERRIDES="rasapi32=n;rasdial.exe,route.exe,ping.exe,netsh.exe,notepad.exe=n;mscoree=;mshtml=;winemenubuilder.exe="
# The virtual display, unless the caller keeps its own (VELMORA_OWN_DISPLAY=1).
if [ "${VELMORA_OWN_DISPLAY:-}" != 1 ] && [ -s "$VELMORA_WINE_ROOT/display" ]; then
  DISPLAY=":$(cat "$VELMORA_WINE_ROOT/display")"
  export DISPLAY
fi
