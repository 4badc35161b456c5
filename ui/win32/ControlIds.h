// The numeric IDs of the windows' controls, named after the controls, so a
// test driver finds each one (GetDlgItem on its container). Window classes:
// "TForm1" for the main window, "TForm2" for the properties dialog.
#pragma once

// Resources.
#define IDI_QUORVANTEL 1
#define IDI_IMAGE0 10
#define IDI_IMAGE1 11
#define IDI_IMAGE2 12
#define IDI_IMAGE3 13
#define IDR_ACCEL_LIST 20

// TForm1. Above IDOK/IDCANCEL, which the dialog keys send.
#define IDC_LISTVIEW1 1001
#define IDC_TREEVIEW1 1002
#define IDC_PANEL1 1003
#define IDC_LABEL1 1004
#define IDC_EDIT1 1005
#define IDC_B_SETFOLDER 1006
#define IDC_B_READ 1007
#define IDC_GROUPBOX1 1008
#define IDC_RADIOGROUP1 1009
#define IDC_RB_NEWWIN 1010
#define IDC_RB_EXISTWIN 1011
#define IDC_B_TO 1012
#define IDC_B_CC 1013
#define IDC_B_BCC 1014
#define IDC_GROUPBOX2 1015
#define IDC_LABEL3 1016
#define IDC_EDIT2 1017
#define IDC_B_QUOTE 1018
#define IDC_B_QUIT 1019
#define IDC_LABEL2 1020
#define IDC_VER_LABEL 1021
#define IDC_LABEL4 1022

#define IDM_PROPERTY1 1030

// TForm2.
#define IDC_F2_LABEL1 2001
#define IDC_F2_LABEL2 2002
#define IDC_F2_LABEL3 2003
#define IDC_F2_LABEL4 2004
#define IDC_F2_LABEL5 2005
#define IDC_F2_LABEL6 2006
#define IDC_F2_NICKNAME 2011
#define IDC_F2_ADDRESS 2012
#define IDC_F2_TEL 2013
#define IDC_F2_ORG 2014
#define IDC_F2_ORGUNIT 2015
#define IDC_F2_MEMO 2016
#define IDC_F2_BUTTON1 2017

// TForm3, the hand-off's progress window.
#define IDC_PROGRESS_LABEL 3001
#define IDC_PROGRESS_CANCEL 3002
