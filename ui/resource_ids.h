/* Identifiers shared by setup.rc and the wizard: dialog templates, icons, the accelerator table
   and the controls of every page. Plain defines, because the resource compiler reads them too. */
#pragma once

#define IDD_WELCOME 200
#define IDD_EULA 201
#define IDD_SETUP 202
#define IDD_DONE 203
#define IDD_EXPERT1 204
#define IDD_EXPERT2 205

#define IDI_BANNER 128
#define IDI_PROGRAM 129
#define IDA_WIZARD 130

/* Controls shared by the pages. IDOK (1) is next, IDCANCEL (2) the welcome page's open button. */
#define IDC_CANCEL 300
#define IDC_BACK 301
#define IDC_SHOW_EXPERT1 303
#define IDC_SHOW_EXPERT2 304

/* Welcome page */
#define IDC_WELCOME_TITLE 308
#define IDC_WELCOME_BODY 309
#define IDC_UI_LANGUAGE_LABEL 307
#define IDC_UI_LANGUAGE 2002
#define IDC_REMOVE 315
#define IDC_CHANGE_SETTINGS 2003
#define IDC_OPEN_DOCUMENT 2
#define IDC_NEXT 1

/* Licence page */
#define IDC_EULA_TITLE 311
#define IDC_EULA_TEXT 306
#define IDC_EULA_ACCEPTED 305

/* Setup page */
#define IDC_LAYOUT_LANGUAGE_LABEL 313
#define IDC_LAYOUT_LANGUAGE 1202
#define IDC_LANGUAGE_SCRIPT 1200
#define IDC_USER_HOTKEYS 1205
#define IDC_DESKTOP_LINKS 1212
#define IDC_ALT_IMAGE 1213
#define IDC_VARIANT_LABEL 314
#define IDC_VARIANT 1214
#define IDC_DECIMAL_KEY_LABEL 316
#define IDC_DECIMAL_KEY 1215
#define IDC_SETUP_NOTE 317
#define IDC_INSTALL 206

/* Finish page */
#define IDC_DONE_TITLE 1209
#define IDC_DONE_BODY 1204
#define IDC_FINISH 1213
#define IDC_DONE_UNUSED 1211

/* Expert pages: row r (1-20) is check box first + r - 1 and its combo box 100 above it; the
   list's hidden label (page 1, the rows it shows) is 1000 above the combo box */
#define IDC_EXPERT_OK 301
#define IDC_EXPERT1_CHECK_FIRST 1301
#define IDC_EXPERT1_COMBO_FIRST 1401
#define IDC_EXPERT2_CHECK_FIRST 1501
#define IDC_EXPERT2_COMBO_FIRST 1601
#define IDC_EXPERT_LABEL_OFFSET 1000
