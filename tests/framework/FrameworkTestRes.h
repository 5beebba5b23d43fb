#pragma once
#define IDD_FRAMEWORK_TEST 300
#define IDC_EDIT 1001
#define IDC_BUTTON 1002
