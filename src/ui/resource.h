#pragma once
// Resource identifiers of the executable (shared by the resource script and the code).
#define IDR_MAINFRAME 128
#define IDD_PROGRESS_DIALOG 102
#define IDC_PROGRESS 1000
#define IDC_STATIC_LABEL 1001
#define IDC_STATIC_SIZE 1002
#define IDC_STATIC_PERCENT 1003
