#!/usr/bin/env bash
# Waits up to $1 seconds (5 by default) until a tray host owns the tray selection of $DISPLAY.
# Started before the tray, the app shows its popover as a window until it finds the tray (within a
# few seconds); the roads and the demo want the tray from the start.
set -euo pipefail
owned() {
    python3 -c '
import ctypes, sys
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.argtypes, x.XInternAtom.restype = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int], ctypes.c_ulong
x.XGetSelectionOwner.argtypes, x.XGetSelectionOwner.restype = [ctypes.c_void_p, ctypes.c_ulong], ctypes.c_ulong
display = x.XOpenDisplay(None)
sys.exit(0 if display and x.XGetSelectionOwner(display, x.XInternAtom(display, b"_NET_SYSTEM_TRAY_S0", 0)) else 1)'
}
for _ in $(seq $(( ${1:-5} * 20 ))); do
    owned && exit 0
    sleep 0.05
done
owned
