#pragma once

// Quorel's fixed numbers: commands, dialogs, controls and resources. Actions
// carry their command number in data() and widgets their number in the
// "controlId" property, so tests and peers find them by these values.

namespace ids {

// Resources
constexpr int IDR_MAINFRAME = 128; // main menu, toolbar, accelerators
constexpr int IDR_GENERAL = 130; // general document template
constexpr int IDR_ZONE = 131; // domain zone template
constexpr int IDR_NAMEDCONF = 132; // domain conf template
constexpr int IDR_VIRTUALHOST = 133; // virtual-host conf template
constexpr int IDR_REVERSEZONE = 149; // reverse zone template
constexpr int IDR_CONTEXTMENU = 141; // the view's context menu
constexpr int IDB_SPLASH = 141;
constexpr int IDB_ABOUT1 = 140;
constexpr int IDB_ABOUT2 = 156;

// Strings
constexpr int IDS_OLE_INIT_FAILED = 100;
constexpr int IDS_MAINTITLE = 128;
constexpr int AFX_IDS_APP_TITLE = 57344;

// Dialogs and controls
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDC_ABOUT_WEB = 1027;
constexpr int IDC_ABOUT_MAIL = 1031;
constexpr int IDD_SPLASH = 142;
constexpr int IDD_OPENFILELIST = 148;
constexpr int IDC_OPENFILE_TREE = 1011;

// Private message carrying open-files notifications to the main frame
constexpr int WM_OPENFILELIST = 2028;
constexpr int OPENLIST_CLOSED = 344;

// Window ids of the frame's bars
constexpr int AFX_IDW_TOOLBAR = 0xE800;
constexpr int AFX_IDW_STATUS_BAR = 0xE801;

// Application commands
constexpr int ID_FILE_NEW = 57600;
constexpr int ID_FILE_OPEN = 57601;
constexpr int ID_FILE_CLOSE = 57602;
constexpr int ID_FILE_SAVE = 57603;
constexpr int ID_FILE_SAVE_AS = 57604;
constexpr int ID_FILE_PRINT_SETUP = 57606;
constexpr int ID_FILE_PRINT = 57607;
constexpr int ID_FILE_PRINT_DIRECT = 57608;
constexpr int ID_FILE_PRINT_PREVIEW = 57609;
constexpr int ID_FILE_MRU_FILE1 = 57616; // 57616..57619: the four recent files
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_NEW_ZONE = 32812;
constexpr int ID_NEW_REVERSEZONE = 32806;
constexpr int ID_NEW_NAMEDCONF = 32779;
constexpr int ID_NEW_VIRTUALHOST = 32780;
constexpr int ID_FILE_NEW_CHOOSE = 32781;
constexpr int ID_FTP_OPEN = 32772;
constexpr int ID_FTP_SAVE = 32771;
constexpr int ID_CONV_WIZARD = 32778;
constexpr int ID_STRING_CONVERT = 32784;
constexpr int ID_CLOSE_ALL = 32792;
constexpr int ID_SAVE_ALL = 32836;
constexpr int ID_COMMENT = 32804;
constexpr int ID_UPDATE_INFO = 32791;

// Document conversion commands
constexpr int ID_CONVERT_TO_PUNY = 32802;
constexpr int ID_CONVERT_TO_EUCKR = 32805;

// Edit commands
constexpr int ID_EDIT_COPY = 57634;
constexpr int ID_EDIT_CUT = 57635;
constexpr int ID_EDIT_FIND = 57636;
constexpr int ID_EDIT_PASTE = 57637;
constexpr int ID_EDIT_REPLACE = 57641;
constexpr int ID_EDIT_SELECT_ALL = 57642;
constexpr int ID_EDIT_UNDO = 57643;

// Context menu of the view
constexpr int ID_CTX_UNDO = 32782;
constexpr int ID_CTX_CUT = 32783;
constexpr int ID_CTX_COPY = 32785;
constexpr int ID_CTX_SELECT_ALL = 32786;
constexpr int ID_CTX_PASTE = 32787;
constexpr int ID_SEL_TO_PUNY = 32796;
constexpr int ID_SEL_TO_EUCKR = 32799;

// Window and view commands
constexpr int ID_WINDOW_ARRANGE = 57649;
constexpr int ID_WINDOW_CASCADE = 57650;
constexpr int ID_WINDOW_TILE_HORZ = 57651;
constexpr int ID_VIEW_TOOLBAR = 59392;
constexpr int ID_VIEW_STATUS_BAR = 59393;
constexpr int ID_VIEW_FILETREE = 32808;

// Dock bar ids, by edge
constexpr int AFX_IDW_DOCKBAR_TOP = 59419;
constexpr int AFX_IDW_DOCKBAR_LEFT = 59420;
constexpr int AFX_IDW_DOCKBAR_RIGHT = 59421;
constexpr int AFX_IDW_DOCKBAR_BOTTOM = 59422;

// Size above which opening a file asks first (20 MiB)
constexpr long long kLargeFileBytes = 20LL * 1024 * 1024;

} // namespace ids
