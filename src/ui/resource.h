#pragma once
// Control and resource ids, named after the components. Tests and
// accessibility tools find controls by these ids; keep them stable.

// Resources
#define IDI_APP                 1
#define IDD_FRMMAIN             100
#define IDD_FRMSTATUS           101
#define IDD_FRMCUSTOMDLG        102
#define IDD_FRMBACK             103

// TfrmMain
#define IDC_fraTitle            1001
#define IDC_lblTitleA1          1002
#define IDC_lblTitleA2          1003
#define IDC_imgTitle1           1004
#define IDC_lblTitleMessage     1005
#define IDC_fraReadme           1010
#define IDC_txtReadme           1011
#define IDC_chkEULARead         1012
#define IDC_grpMessage          1020
#define IDC_lblMessage          1021
#define IDC_grpSetupFolder      1030
#define IDC_txtFolder           1031
#define IDC_btnRefer            1032
#define IDC_grpOption           1040
#define IDC_chkOverWrite        1041
#define IDC_chkHiSpeed          1042
#define IDC_fraShortCut         1043
#define IDC_chkSCutDesktop      1044
#define IDC_chkSCutStartMenu    1045
#define IDC_chkSCutStartUp      1046
#define IDC_chkSCutSendTo       1047
#define IDC_lblUnSetupInfo      1048
#define IDC_fraSelectType       1050
#define IDC_optSelectType1      1051
#define IDC_optSelectType2      1052
#define IDC_lblSelectTypeMsg    1053
#define IDC_btnEvent            1060
#define IDC_btnEnd              1061
#define IDC_lblFormShare        1062

// TfrmStatus (its grpMessage/lblMessage reuse the ids above)
#define IDC_fraStatus           1101
#define IDC_GaugeStatus         1102
#define IDC_lblStatus           1103
#define IDC_btnAbort            1104

// TfrmCustomDlg (its lblMessage reuses the id above)
#define IDC_btnYes              1201
#define IDC_btnNo               1202
#define IDC_btnDelete           1203
#define IDC_btnSave             1204

// TfrmBack
#define IDC_GradBox             1301
#define IDC_lblBackTitle1       1302
#define IDC_lblBackTitle2       1303
#define IDC_lblPrgTitle1        1304
#define IDC_lblPrgTitle2        1305
