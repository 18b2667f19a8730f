// Numbers of velmora.exe's own resources, shared by the resource script and the code.
#pragma once

#define IDI_VELMORA 1
#define IDB_BANNER 2

// The tray icon for each state of the connection: not connected, dialling or applying the
// policy, and connected.
#define IDI_TRAY_IDLE 3
#define IDI_TRAY_BUSY 4
#define IDI_TRAY_UP 5
