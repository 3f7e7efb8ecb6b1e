// Resource, control and command ids of the application, with the values its resources use.
#pragma once

// Resources.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_PELLMAR_FORM = 101;
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDI_FORM_ICON = 140;

// Controls of the flash form.
inline constexpr int IDC_FILENAME = 1000;
inline constexpr int IDC_FILENAME_PROMPT = 1001;
inline constexpr int IDC_PRINTER_LIST = 1003;
inline constexpr int IDC_PRINTER_PROMPT = 1004;
inline constexpr int IDC_BYTES_SENT = 1005;
inline constexpr int IDC_BYTES_SENT_LABEL = 1006;
inline constexpr int IDC_START = 1007;
inline constexpr int IDC_PROGRESS = 1008;
inline constexpr int IDC_BROWSE = 1009;
inline constexpr int IDOK = 1;

// Commands.
inline constexpr int ID_SEPARATOR = 0;
inline constexpr int ID_FILE_NEW = 57600;
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_SAVE = 57603;
inline constexpr int ID_FILE_PRINT_SETUP = 57606;
inline constexpr int ID_FILE_PRINT = 57607;
inline constexpr int ID_FILE_PRINT_DIRECT = 57608;
inline constexpr int ID_FILE_PRINT_PREVIEW = 57609;
inline constexpr int ID_EDIT_COPY = 57634;
inline constexpr int ID_EDIT_CUT = 57635;
inline constexpr int ID_EDIT_PASTE = 57637;
inline constexpr int ID_EDIT_UNDO = 57643;
inline constexpr int ID_APP_ABOUT = 57664;
inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_NEXT_PANE = 57680;
inline constexpr int ID_PREV_PANE = 57681;
inline constexpr int ID_VIEW_TOOLBAR = 59392;
inline constexpr int ID_VIEW_STATUS_BAR = 59393;

// Status-bar indicators.
inline constexpr int ID_INDICATOR_EXT = 59136;
inline constexpr int ID_INDICATOR_CAPS = 59137;
inline constexpr int ID_INDICATOR_NUM = 59138;
inline constexpr int ID_INDICATOR_SCRL = 59139;
inline constexpr int ID_INDICATOR_OVR = 59140;
inline constexpr int ID_INDICATOR_REC = 59141;

// Strings.
inline constexpr int AFX_IDS_APP_TITLE = 57344;
inline constexpr int AFX_IDS_IDLEMESSAGE = 57345;
