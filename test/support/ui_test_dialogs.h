#ifndef TEST_SUPPORT_UI_TEST_DIALOGS_H_
#define TEST_SUPPORT_UI_TEST_DIALOGS_H_

// Dialog templates of the window tests (test/data/ui_test_dialogs.rc).
// Plain defines: the resource compiler reads this file too.

// A borderless popup dialog with a push button and a text, 200 x 120
// dialog units.
#define LITE_TEST_DIALOG 9001
#define LITE_TEST_DIALOG_BUTTON 1001
#define LITE_TEST_DIALOG_TEXT 1002
// A string in the German table only.
#define LITE_TEST_STRING 9101

#endif  // TEST_SUPPORT_UI_TEST_DIALOGS_H_
