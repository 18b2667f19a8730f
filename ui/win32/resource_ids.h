// Numbers of velmora.exe's own resources, shared by the resource script and the code.
#pragma once

#define IDI_VELMORA 1
#define IDB_BANNER 2
