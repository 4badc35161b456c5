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
#ifndef RC_INVOKED
#include <string_view>

// The ID of a control of Form1 or Form2 by its name, 0 for one without.
inline int ControlId(std::string_view form, std::string_view control) {
    static constexpr struct {
        const char* form;
        const char* name;
        int id;
    } ids[] = {
        {"Form1", "ListView1", IDC_LISTVIEW1},
        {"Form1", "TreeView1", IDC_TREEVIEW1},
        {"Form1", "Panel1", IDC_PANEL1},
        {"Form1", "Label1", IDC_LABEL1},
        {"Form1", "Edit1", IDC_EDIT1},
        {"Form1", "B_SETFOLDER", IDC_B_SETFOLDER},
        {"Form1", "B_READ", IDC_B_READ},
        {"Form1", "GroupBox1", IDC_GROUPBOX1},
        {"Form1", "RadioGroup1", IDC_RADIOGROUP1},
        {"Form1", "RB_NewWin", IDC_RB_NEWWIN},
        {"Form1", "RB_ExistWin", IDC_RB_EXISTWIN},
        {"Form1", "B_TO", IDC_B_TO},
        {"Form1", "B_CC", IDC_B_CC},
        {"Form1", "B_BCC", IDC_B_BCC},
        {"Form1", "GroupBox2", IDC_GROUPBOX2},
        {"Form1", "Label3", IDC_LABEL3},
        {"Form1", "Edit2", IDC_EDIT2},
        {"Form1", "B_QUOTE", IDC_B_QUOTE},
        {"Form1", "B_QUIT", IDC_B_QUIT},
        {"Form1", "Label2", IDC_LABEL2},
        {"Form1", "ver_label", IDC_VER_LABEL},
        {"Form1", "Label4", IDC_LABEL4},
        {"Form1", "Property1", IDM_PROPERTY1},
        {"Form2", "Label1", IDC_F2_LABEL1},
        {"Form2", "Label2", IDC_F2_LABEL2},
        {"Form2", "Label3", IDC_F2_LABEL3},
        {"Form2", "Label4", IDC_F2_LABEL4},
        {"Form2", "Label5", IDC_F2_LABEL5},
        {"Form2", "Label6", IDC_F2_LABEL6},
        {"Form2", "NickName", IDC_F2_NICKNAME},
        {"Form2", "Address", IDC_F2_ADDRESS},
        {"Form2", "Tel", IDC_F2_TEL},
        {"Form2", "Org", IDC_F2_ORG},
        {"Form2", "OrgUnit", IDC_F2_ORGUNIT},
        {"Form2", "Memo", IDC_F2_MEMO},
        {"Form2", "Button1", IDC_F2_BUTTON1},
    };
    for (const auto& entry : ids) {
        if (form == entry.form && control == entry.name) {
            return entry.id;
        }
    }
    return 0;
}
#endif
