/* Resource and control identifiers, shared by the resource script and the code. */
#ifndef OSTRIVEL_RESOURCE_H
#define OSTRIVEL_RESOURCE_H

#define IDI_APP          1
#define IDI_DRIVE        1300
#define IDI_INFO         1301
#define IDI_BLANK        1302
#define IDI_CLOCK        1303
#define IDI_WARN_SIGN    1304
#define IDI_APP_CAUTION  1305
#define IDI_APP_ALERT    1306

#define IDM_MAIN         2001
#define IDA_MAIN         2002
#define IDD_SETUP        2

/* Menu commands */
#define CMD_ABOUT        101
#define CMD_HELP         102
#define CMD_WEBSITE      103
#define CMD_EXIT         105
#define CMD_SETUP        106
#define CMD_RUN_AS_ADMIN 107
#define CMD_COPY_REPORT  108
#define CMD_INFO_PAGE    800
#define CMD_SMART_PAGE   801

/* Main window controls */
#define IDC_DRIVE_LIST   500
#define IDC_INFO_LIST    504
#define IDC_ATTR_LIST    508
#define IDC_TITLE        700
#define IDC_TITLE_ICON   701
#define IDC_MONITOR      701
#define IDC_STATUS_BAR   1200

/* Setup dialog controls */
#define IDC_FRAME          100
#define IDC_GROUP_POLLING  101
#define IDC_GROUP_EMAIL    102
#define IDC_GROUP_MISC     103
#define IDC_POLL_MINUTES   900
#define IDC_CHANGE_PERCENT 901
#define IDC_EMAIL_ADDRESS  902
#define IDC_SMTP_SERVER    903
#define IDC_EMAIL_HEADING  704
#define IDC_RECALL_ICON    1400
#define IDC_RECALL_HOTKEY  1401
#define IDC_AUTOSTART      1500
#define IDC_SETUP_HELP     9
#define IDC_MAIL_SERVER    904

/* Mail Server dialog and its controls */
#define IDD_MAIL_SERVER        3
#define IDC_SECURITY_NONE      1600
#define IDC_SECURITY_STARTTLS  1601
#define IDC_SECURITY_TLS       1602
#define IDC_MAIL_USER          1610
#define IDC_MAIL_PASSWORD      1611
#define IDC_MAIL_COMMAND       1612
#define IDC_SEND_TEST          1613
#define IDC_TEST_OUTCOME       1614

#endif
