#pragma once
// Resources of QXChkErr.exe. Tests find the controls by these numbers.
#define IDI_CHECKER 128
#define IDD_CHECKER 101

#define IDC_HEADLINE 1000
#define IDC_STATUS_FIRST 1010  // + CheckId: "Passed", "Failed", ...
#define IDC_TITLE_FIRST 1020   // + CheckId: what is checked
#define IDC_DETAIL_FIRST 1030  // + CheckId: one sentence when the check failed or was skipped
#define IDC_PROGRESS 1040
#define IDC_RETRY 1050
