/* Identifiers shared by startdisk.rc and the program. Plain #defines only:
   windres reads this file too. */
#ifndef STARTDISK_RESOURCE_H
#define STARTDISK_RESOURCE_H

#define IDD_PROGRESS 101
#define IDD_CONFIRM 102
#define IDI_CONFIRM 108
#define IDI_DOCUMENT 209
#define IDD_DOCUMENT 902

#define IDC_CONFIRM_LABEL 1000
#define IDC_CONFIRM_CAUTION 1001
#define IDC_CONFIRM_CLICK 1002

#define IDC_PROGRESS_TEXT 1000
#define IDC_PROGRESS_BAR 1001

#define IDC_DOC_EDITOR 9000
#define IDC_DOC_PROMPT 9001
#define IDC_DOC_HEADING 9002

#endif
