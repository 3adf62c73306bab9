// The dialog templates as the built startdisk.exe holds them.
#ifndef STARTDISK_DIALOG_TEMPLATES_H
#define STARTDISK_DIALOG_TEMPLATES_H

// exePath: the exe to read, as a path the Windows program can open.
void TestDialogTemplates(const char* exePath);

#endif
