#pragma once
// Resource numbers of the shell's dialogs, controls, pictures and texts.

namespace tarvik {

// Texts shown in several places.
inline constexpr const char* kProgramCaption = "Corvane Miravel NTFS";
inline constexpr const char* kMainTitle = "Corvane Miravel NTFS";
inline constexpr const char* kApplicationTitle = "Tarvik";  // string 57344

// Menu, accelerators, frame icon, document template and toolbar.
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDI_STATUS = 134;
inline constexpr int IDB_TOOLBAR_HOT = 189;
inline constexpr int IDB_TOOLBAR_DISABLED = 191;
inline constexpr int IDB_TOOLBAR_NORMAL = 192;

// Splash screen.
inline constexpr int IDD_SPLASH = 180;
inline constexpr int IDB_SPLASH = 181;
inline constexpr int IDC_SPLASH_PICTURE = 1089;
inline constexpr int kSplashMilliseconds = 2000;

// About box.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDB_ABOUT = 200;
inline constexpr int IDOK = 1;
inline constexpr int IDC_ABOUT_VISIT = 1030;
inline constexpr int IDC_ABOUT_PICTURE = 1090;
inline constexpr int IDC_ABOUT_SALES_MAIL = 1092;
inline constexpr int IDC_ABOUT_SUPPORT_MAIL = 1093;

// Logical Drive Properties.
inline constexpr int IDD_DRIVE_PROPERTIES = 167;
inline constexpr int IDC_PROPERTIES_FIRST_LABEL = 1057;  // labels 1057 to 1065
inline constexpr int IDC_PROPERTIES_FIRST_VALUE = 1066;  // values 1066 to 1074
inline constexpr int IDC_PROPERTIES_CLOSE = 1075;

// Select Search Type.
inline constexpr int IDD_SEARCH_TYPE = 155;
inline constexpr int IDC_SEARCH_TYPE_GROUP = 1039;
inline constexpr int IDC_USE_PARTITION_TABLE = 1043;
inline constexpr int IDC_SEARCH_LOGICAL_DRIVES = 1044;
inline constexpr int IDC_SEARCH_TYPE_OK = 1041;
inline constexpr int IDC_SEARCH_TYPE_CANCEL = 1031;

// Important Note.
inline constexpr int IDD_IMPORTANT_NOTE = 178;

}  // namespace tarvik
