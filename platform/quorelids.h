#pragma once

// Quorel's fixed numbers, grouped by kind. The values are the program's
// resource numbers and never change: actions carry their command number in
// data() and widgets their number in the "controlId" property, so tests and
// peers find them by these values. Menus, bitmaps, dialogs and strings are
// separate kinds of resource, each with its own numbers, so one number may
// name a menu and a bitmap at once (141).

namespace ids {

// Document templates: each number names the kind's menu, icon and document
// strings together.
namespace templ {
constexpr int kGeneral = 130;
constexpr int kZone = 131;
constexpr int kNamedConf = 132;
constexpr int kVirtualHost = 133;
constexpr int kReverseZone = 149;
} // namespace templ

namespace menu {
constexpr int kContext = 141; // the view's context menu
} // namespace menu

namespace bitmap {
constexpr int kAboutLogo = 140;
constexpr int kSplash = 141;
constexpr int kAboutPicture = 156;
// The conversion wizard's pictures, one per page, and its watermark.
constexpr int kWizardStart = 129;
constexpr int kWizardOpen = 130;
constexpr int kWizardConvert = 131;
constexpr int kWizardSave = 132;
constexpr int kWizardWatermark = 137;
} // namespace bitmap

namespace dialog {
constexpr int kAbout = 100;
constexpr int kStringConvert = 103; // "개별 문자열 변환"
constexpr int kFtpOpen = 131; // "FTP 열기" / "FTP 저장하기"
constexpr int kFtpServerList = 134; // "사용자 FTP 서버 목록"
constexpr int kTextInput = 135;
constexpr int kConvResult = 138; // "변환 결과"
constexpr int kUpdateInfo = 144; // "린드바트 정보" with the update notes
constexpr int kSplash = 142;
constexpr int kOpenFileList = 148;
constexpr int kGoToLine = 150; // "줄 이동"
constexpr int kPreferences = 152; // "환경 설정"
constexpr int kConvFind = 1542; // "변환+찾기"
constexpr int kConvReplace = 1541; // "변환+바꾸기"
// The conversion wizard's four pages
constexpr int kWizardStart = 129;
constexpr int kWizardOpen = 1553;
constexpr int kWizardConvert = 1552;
constexpr int kWizardSave = 1551;
} // namespace dialog

namespace control {
constexpr int kOk = 1; // every dialog's "확인"
constexpr int kCancel = 2; // every dialog's "취소"
constexpr int kOpenFileTree = 1011;
constexpr int kAboutWebAddress = 1027;
constexpr int kAboutMailLink = 1031;

// Dialog 144, the update-information window
namespace updateInfo {
constexpr int kAutoScroll = 1008; // "Auto Scrolling"
constexpr int kNotes = 1009;
constexpr int kBanner = 1012; // bitmap 140
constexpr int kBadge = 1013; // bitmap 156
constexpr int kName = 1014;
constexpr int kVersion = 1015;
constexpr int kNotice = 1016;
constexpr int kLine = 1018;
} // namespace updateInfo

// Dialog 103, the string converter
namespace stringConvert {
constexpr int kEucKrOutputEdit = 1002;
constexpr int kPunycodeOutputEdit = 1004;
constexpr int kInputCombo = 1006;
constexpr int kEucKrInputRadio = 1011;
constexpr int kPunycodeInputRadio = 1013;
constexpr int kConvertButton = 1015;
constexpr int kEucKrOutputCheck = 1036;
constexpr int kPunycodeOutputCheck = 1038;
constexpr int kAllOutputsCheck = 1040;
} // namespace stringConvert

// Dialogs 1542 and 1541, find and replace; "다음 찾기" is kOk, "취소" kCancel
namespace findReplace {
constexpr int kWholeWord = 130;
constexpr int kMatchCase = 131;
constexpr int kFindEncodingLabel = 1004;
constexpr int kReplaceEncodingLabel = 1005;
constexpr int kFindToEucKr = 1016;
constexpr int kFindToPunycode = 1017;
constexpr int kReplaceToEucKr = 1018;
constexpr int kReplaceToPunycode = 1019;
constexpr int kReplace = 1024;
constexpr int kReplaceAll = 1025;
constexpr int kFindWhatLabel = 1088;
constexpr int kReplaceWithLabel = 1089;
constexpr int kFindWhatEdit = 1152;
constexpr int kReplaceWithEdit = 1153;
} // namespace findReplace

// The conversion wizard's pages
namespace wizard {
constexpr int kIntroText = 1002; // page 1
constexpr int kLocalRadio = 1005; // page 2
constexpr int kFtpRadio = 1006;
constexpr int kTemplateRadio = 1030;
constexpr int kTemplateCombo = 1031;
constexpr int kPreviewEdit = 1029; // page 3
constexpr int kResultText = 1004; // page 4
} // namespace wizard

// Dialog 131, the FTP browser
namespace ftpOpen {
constexpr int kCancel = 2; // "파일 닫기(&C)"
constexpr int kChangeDirButton = 1000; // "디렉토리 이동"
constexpr int kFileNameEdit = 1001;
constexpr int kProgress = 1002;
constexpr int kNewFolderButton = 1004;
constexpr int kDeleteButton = 1005;
constexpr int kFileList = 1006;
constexpr int kServerCombo = 1007;
constexpr int kConnectButton = 1008;
constexpr int kServerListButton = 1009; // "FTP 서버 계정 관리"
constexpr int kRefreshButton = 1010;
constexpr int kCurrentDirText = 1012;
constexpr int kStatusText = 1016;
} // namespace ftpOpen

// Dialog 134, the FTP server list
namespace ftpServerList {
constexpr int kPassiveCheck = 1017;
constexpr int kAddressEdit = 1018;
constexpr int kServerCombo = 1019;
constexpr int kUserEdit = 1020;
constexpr int kPasswordEdit = 1021;
constexpr int kPortEdit = 1022;
constexpr int kNewButton = 1023;
constexpr int kSaveButton = 1024;
constexpr int kDeleteButton = 1025;
} // namespace ftpServerList

// Dialog 135, the text input
namespace textInput {
constexpr int kPrompt = 1000;
constexpr int kEdit = 1033;
} // namespace textInput

// Dialog 138, the conversion result
namespace convResult {
constexpr int kResultEdit = 1006;
constexpr int kApplyCheck = 1013;
} // namespace convResult
} // namespace control

// Window ids of the main frame's bars.
namespace bar {
constexpr int kToolBar = 0xE800;
constexpr int kStatusBar = 0xE801;
constexpr int kDockTop = 59419;
constexpr int kDockLeft = 59420;
constexpr int kDockRight = 59421;
constexpr int kDockBottom = 59422;
} // namespace bar

namespace command {
// Files
constexpr int kFileNew = 57600; // a new general document
constexpr int kFileOpen = 57601;
constexpr int kFileClose = 57602;
constexpr int kFileSave = 57603;
constexpr int kFileSaveAs = 57604;
constexpr int kFilePrintSetup = 57606;
constexpr int kFilePrint = 57607;
constexpr int kFilePrintPreview = 57609;
constexpr int kRecentFile1 = 57616; // 57616..57619: the four recent files
constexpr int kNewZone = 32812;
constexpr int kNewReverseZone = 32806;
constexpr int kNewNamedConf = 32779;
constexpr int kNewVirtualHost = 32780;
constexpr int kFileNewChoose = 32781;
constexpr int kFtpOpen = 32772;
constexpr int kFtpSave = 32771;
constexpr int kCloseAll = 32792;
constexpr int kSaveAll = 32836;
// Application
constexpr int kAppAbout = 57664;
constexpr int kAppExit = 57665;
constexpr int kUpdateInfo = 32791;
// Conversion
constexpr int kConvWizard = 32778;
constexpr int kStringConvert = 32784;
constexpr int kComment = 32804;
constexpr int kConvertToPunycode = 32802;
constexpr int kConvertToEucKr = 32805;
constexpr int kCheckDocument = 32860; // "검사", F7: the server's own checker on the text
// Editing
constexpr int kEditCopy = 57634;
constexpr int kEditCut = 57635;
constexpr int kEditFind = 57636;
constexpr int kEditPaste = 57637;
constexpr int kEditRepeat = 57640; // "다음 찾기", F3: the last search again
constexpr int kEditReplace = 57641;
constexpr int kEditFindPrevious = 32840; // "이전 찾기", Shift+F3
constexpr int kEditGoToLine = 32841; // "줄 이동", Ctrl+G
constexpr int kEditSelectAll = 57642;
constexpr int kEditUndo = 57643;
constexpr int kEditRedo = 57644; // "다시 실행", after "실행취소"
// The view's context menu
constexpr int kContextUndo = 32782;
constexpr int kContextCut = 32783;
constexpr int kContextCopy = 32785;
constexpr int kContextSelectAll = 32786;
constexpr int kContextPaste = 32787;
constexpr int kSelectionToPunycode = 32796;
constexpr int kSelectionToEucKr = 32799;
// Windows and bars
constexpr int kWindowArrange = 57649;
constexpr int kWindowCascade = 57650;
constexpr int kWindowTile = 57651;
constexpr int kViewToolBar = 59392;
constexpr int kViewStatusBar = 59393;
constexpr int kViewFileTree = 32808;
constexpr int kViewLineNumbers = 32850; // "줄 번호 보기"
constexpr int kViewZoomIn = 32851; // Ctrl++ and Ctrl+=
constexpr int kViewZoomOut = 32852; // Ctrl+-
constexpr int kViewZoomReset = 32853; // Ctrl+0: back to the chosen size
constexpr int kViewPreferences = 32854; // "환경 설정..."
} // namespace command

} // namespace ids
