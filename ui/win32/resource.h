#pragma once

// Identifiers of the resources in korvane.rc, shared with the code.

#define IDI_KORVANE 1 // the program's icon
#define IDR_FORM1 100 // Form1's menu bar and its accelerator table
#define IDD_FORM2 200 // the About box's dialog template
#define IDR_TEXT1 300 // the report pane's context menu

// Form1's menu items: mnu + menu + item.
#define IDM_MNUFILECHK 1001
#define IDM_MNUFILEAGAIN 1002
#define IDM_MNUFILEXIT 1003
#define IDM_MNUABT 1004
// The report pane's context menu; Explain also has Form1's Ctrl+E.
#define IDM_COPY 1101
#define IDM_SELECTALL 1102
#define IDM_EXPLAIN 1103

// Controls.
#define IDC_TEXT1 2001
#define IDC_COMMAND1 2101
#define IDC_LABEL1 2102
