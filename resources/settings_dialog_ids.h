// The settings dialog's template and its controls: numbers shared by the
// resource script and the dialog's code, so plain macros that both read.
#pragma once

#define IDD_SETTINGS 200

#define IDC_SERVICE_ADDRESS 1001
#define IDC_SERVICE_TEST 1002
#define IDC_TEST_RESULT 1003
#define IDC_UPLOAD_KEY 1004
#define IDC_SHOW_KEY 1005
#define IDC_CAPTURE_HOTKEY 1006
#define IDC_FILE_HOTKEY 1007
#define IDC_PRINT_SCREEN_NOTE 1008
#define IDC_REFUSAL 1009
