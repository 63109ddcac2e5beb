// Identifiers of the Win32 window's resources, shared by the resource script
// and the code.
#pragma once

#define IDI_PROBELYN 1
#define IDB_PADLOCK 101
#define IDB_LOGO 102
#define IDC_HAND_POINTER 103
#define IDD_DETAILS_BOX 200
#define IDC_BOX_ICON 201
#define IDC_BOX_TEXT 202
#define IDC_BOX_DETAILS 203
#define IDC_BOX_REASONS 204
