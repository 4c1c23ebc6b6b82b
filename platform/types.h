// Portable mirrors of the Windows types the system uses. Records that cross the
// seam keep the exact field order and widths of the platform's own (64-bit), so
// the adapter can hand them over as they are (it static_asserts the layouts).
#pragma once
#include <cstddef>
#include <cstdint>

// Our constants keep the platform's names, which <windows.h> defines as macros: each such
// macro is set aside here and given back at the end, so this header may follow <windows.h>.
// <windows.h> names hidden (scripts/windows_names.py): begin
#pragma push_macro("SEE_MASK_NOASYNC")
#undef SEE_MASK_NOASYNC
#pragma push_macro("SEE_MASK_FLAG_NO_UI")
#undef SEE_MASK_FLAG_NO_UI
#pragma push_macro("WM_NULL")
#undef WM_NULL
#pragma push_macro("WM_DESTROY")
#undef WM_DESTROY
#pragma push_macro("WM_PAINT")
#undef WM_PAINT
#pragma push_macro("WM_ERASEBKGND")
#undef WM_ERASEBKGND
#pragma push_macro("WM_COMMAND")
#undef WM_COMMAND
#pragma push_macro("WM_HOTKEY")
#undef WM_HOTKEY
#pragma push_macro("WM_MOUSEMOVE")
#undef WM_MOUSEMOVE
#pragma push_macro("WM_LBUTTONDOWN")
#undef WM_LBUTTONDOWN
#pragma push_macro("WM_LBUTTONUP")
#undef WM_LBUTTONUP
#pragma push_macro("WM_LBUTTONDBLCLK")
#undef WM_LBUTTONDBLCLK
#pragma push_macro("WM_RBUTTONDOWN")
#undef WM_RBUTTONDOWN
#pragma push_macro("WM_RBUTTONUP")
#undef WM_RBUTTONUP
#pragma push_macro("WM_QUIT")
#undef WM_QUIT
#pragma push_macro("WM_USER")
#undef WM_USER
#pragma push_macro("WM_QUERYENDSESSION")
#undef WM_QUERYENDSESSION
#pragma push_macro("WM_ENDSESSION")
#undef WM_ENDSESSION
#pragma push_macro("WM_KEYFIRST")
#undef WM_KEYFIRST
#pragma push_macro("WM_KEYLAST")
#undef WM_KEYLAST
#pragma push_macro("WM_MOUSEFIRST")
#undef WM_MOUSEFIRST
#pragma push_macro("WM_MOUSELAST")
#undef WM_MOUSELAST
#pragma push_macro("WM_KEYDOWN")
#undef WM_KEYDOWN
#pragma push_macro("WM_CANCELMODE")
#undef WM_CANCELMODE
#pragma push_macro("WM_DISPLAYCHANGE")
#undef WM_DISPLAYCHANGE
#pragma push_macro("WM_CAPTURECHANGED")
#undef WM_CAPTURECHANGED
#pragma push_macro("WM_CLOSE")
#undef WM_CLOSE
#pragma push_macro("WM_TIMER")
#undef WM_TIMER
#pragma push_macro("WM_CONTEXTMENU")
#undef WM_CONTEXTMENU
#pragma push_macro("WM_CHAR")
#undef WM_CHAR
#pragma push_macro("WM_MOUSEWHEEL")
#undef WM_MOUSEWHEEL
#pragma push_macro("WM_SETCURSOR")
#undef WM_SETCURSOR
#pragma push_macro("WM_MOUSEACTIVATE")
#undef WM_MOUSEACTIVATE
#pragma push_macro("HTCLIENT")
#undef HTCLIENT
#pragma push_macro("MA_NOACTIVATE")
#undef MA_NOACTIVATE
#pragma push_macro("NIN_SELECT")
#undef NIN_SELECT
#pragma push_macro("NIN_KEYSELECT")
#undef NIN_KEYSELECT
#pragma push_macro("NOTIFYICON_VERSION_4")
#undef NOTIFYICON_VERSION_4
#pragma push_macro("MSGFLT_ALLOW")
#undef MSGFLT_ALLOW
#pragma push_macro("PM_NOREMOVE")
#undef PM_NOREMOVE
#pragma push_macro("PM_REMOVE")
#undef PM_REMOVE
#pragma push_macro("PM_QS_SENDMESSAGE")
#undef PM_QS_SENDMESSAGE
#pragma push_macro("PM_QS_PAINT")
#undef PM_QS_PAINT
#pragma push_macro("QS_SENDMESSAGE")
#undef QS_SENDMESSAGE
#pragma push_macro("QS_PAINT")
#undef QS_PAINT
#pragma push_macro("CS_VREDRAW")
#undef CS_VREDRAW
#pragma push_macro("CS_HREDRAW")
#undef CS_HREDRAW
#pragma push_macro("WS_POPUP")
#undef WS_POPUP
#pragma push_macro("HWND_MESSAGE")
#undef HWND_MESSAGE
#pragma push_macro("WS_EX_TOPMOST")
#undef WS_EX_TOPMOST
#pragma push_macro("WS_EX_TRANSPARENT")
#undef WS_EX_TRANSPARENT
#pragma push_macro("WS_EX_TOOLWINDOW")
#undef WS_EX_TOOLWINDOW
#pragma push_macro("WS_EX_LAYERED")
#undef WS_EX_LAYERED
#pragma push_macro("WS_EX_NOACTIVATE")
#undef WS_EX_NOACTIVATE
#pragma push_macro("SW_HIDE")
#undef SW_HIDE
#pragma push_macro("SW_SHOW")
#undef SW_SHOW
#pragma push_macro("SWP_NOSIZE")
#undef SWP_NOSIZE
#pragma push_macro("SWP_NOMOVE")
#undef SWP_NOMOVE
#pragma push_macro("SWP_NOZORDER")
#undef SWP_NOZORDER
#pragma push_macro("SWP_NOREDRAW")
#undef SWP_NOREDRAW
#pragma push_macro("SWP_NOACTIVATE")
#undef SWP_NOACTIVATE
#pragma push_macro("SWP_SHOWWINDOW")
#undef SWP_SHOWWINDOW
#pragma push_macro("SWP_HIDEWINDOW")
#undef SWP_HIDEWINDOW
#pragma push_macro("HWND_TOPMOST")
#undef HWND_TOPMOST
#pragma push_macro("SM_XVIRTUALSCREEN")
#undef SM_XVIRTUALSCREEN
#pragma push_macro("SM_YVIRTUALSCREEN")
#undef SM_YVIRTUALSCREEN
#pragma push_macro("SM_CXVIRTUALSCREEN")
#undef SM_CXVIRTUALSCREEN
#pragma push_macro("SM_CYVIRTUALSCREEN")
#undef SM_CYVIRTUALSCREEN
#pragma push_macro("SM_CXSMICON")
#undef SM_CXSMICON
#pragma push_macro("LWA_COLORKEY")
#undef LWA_COLORKEY
#pragma push_macro("LWA_ALPHA")
#undef LWA_ALPHA
#pragma push_macro("MOD_ALT")
#undef MOD_ALT
#pragma push_macro("MOD_CONTROL")
#undef MOD_CONTROL
#pragma push_macro("MOD_SHIFT")
#undef MOD_SHIFT
#pragma push_macro("MOD_WIN")
#undef MOD_WIN
#pragma push_macro("MOD_NOREPEAT")
#undef MOD_NOREPEAT
#pragma push_macro("MF_GRAYED")
#undef MF_GRAYED
#pragma push_macro("MF_POPUP")
#undef MF_POPUP
#pragma push_macro("MB_ICONQUESTION")
#undef MB_ICONQUESTION
#pragma push_macro("MB_ICONWARNING")
#undef MB_ICONWARNING
#pragma push_macro("VK_ESCAPE")
#undef VK_ESCAPE
#pragma push_macro("VK_SHIFT")
#undef VK_SHIFT
#pragma push_macro("VK_LEFT")
#undef VK_LEFT
#pragma push_macro("VK_UP")
#undef VK_UP
#pragma push_macro("VK_RIGHT")
#undef VK_RIGHT
#pragma push_macro("VK_DOWN")
#undef VK_DOWN
#pragma push_macro("VK_RETURN")
#undef VK_RETURN
#pragma push_macro("VK_CONTROL")
#undef VK_CONTROL
#pragma push_macro("MF_BYPOSITION")
#undef MF_BYPOSITION
#pragma push_macro("MF_CHECKED")
#undef MF_CHECKED
#pragma push_macro("MF_SEPARATOR")
#undef MF_SEPARATOR
#pragma push_macro("TPM_BOTTOMALIGN")
#undef TPM_BOTTOMALIGN
#pragma push_macro("TPM_NONOTIFY")
#undef TPM_NONOTIFY
#pragma push_macro("TPM_RETURNCMD")
#undef TPM_RETURNCMD
#pragma push_macro("MB_OK")
#undef MB_OK
#pragma push_macro("MB_YESNO")
#undef MB_YESNO
#pragma push_macro("MB_RETRYCANCEL")
#undef MB_RETRYCANCEL
#pragma push_macro("MB_ICONERROR")
#undef MB_ICONERROR
#pragma push_macro("MB_ICONINFORMATION")
#undef MB_ICONINFORMATION
#pragma push_macro("MB_TOPMOST")
#undef MB_TOPMOST
#pragma push_macro("IDCANCEL")
#undef IDCANCEL
#pragma push_macro("IDRETRY")
#undef IDRETRY
#pragma push_macro("IDYES")
#undef IDYES
#pragma push_macro("IDNO")
#undef IDNO
#pragma push_macro("IMAGE_ICON")
#undef IMAGE_ICON
#pragma push_macro("LR_DEFAULTCOLOR")
#undef LR_DEFAULTCOLOR
#pragma push_macro("NIM_ADD")
#undef NIM_ADD
#pragma push_macro("NIM_MODIFY")
#undef NIM_MODIFY
#pragma push_macro("NIM_DELETE")
#undef NIM_DELETE
#pragma push_macro("NIM_SETVERSION")
#undef NIM_SETVERSION
#pragma push_macro("NIF_MESSAGE")
#undef NIF_MESSAGE
#pragma push_macro("NIF_ICON")
#undef NIF_ICON
#pragma push_macro("NIF_TIP")
#undef NIF_TIP
#pragma push_macro("NIF_INFO")
#undef NIF_INFO
#pragma push_macro("WHITE_BRUSH")
#undef WHITE_BRUSH
#pragma push_macro("PS_DOT")
#undef PS_DOT
#pragma push_macro("TRANSPARENT")
#undef TRANSPARENT
#pragma push_macro("ANTIALIASED_QUALITY")
#undef ANTIALIASED_QUALITY
#pragma push_macro("SPI_GETNONCLIENTMETRICS")
#undef SPI_GETNONCLIENTMETRICS
#pragma push_macro("MONITOR_DEFAULTTONEAREST")
#undef MONITOR_DEFAULTTONEAREST
#pragma push_macro("SRCCOPY")
#undef SRCCOPY
#pragma push_macro("CAPTUREBLT")
#undef CAPTUREBLT
#pragma push_macro("BI_RGB")
#undef BI_RGB
#pragma push_macro("DIB_RGB_COLORS")
#undef DIB_RGB_COLORS
#pragma push_macro("CF_TEXT")
#undef CF_TEXT
#pragma push_macro("CF_DIB")
#undef CF_DIB
#pragma push_macro("CF_UNICODETEXT")
#undef CF_UNICODETEXT
#pragma push_macro("WAIT_OBJECT_0")
#undef WAIT_OBJECT_0
#pragma push_macro("WAIT_TIMEOUT")
#undef WAIT_TIMEOUT
#pragma push_macro("STACK_SIZE_PARAM_IS_A_RESERVATION")
#undef STACK_SIZE_PARAM_IS_A_RESERVATION
#pragma push_macro("GMEM_MOVEABLE")
#undef GMEM_MOVEABLE
#pragma push_macro("GMEM_DDESHARE")
#undef GMEM_DDESHARE
#pragma push_macro("IDC_ARROW")
#undef IDC_ARROW
#pragma push_macro("IDC_WAIT")
#undef IDC_WAIT
#pragma push_macro("IDC_SIZENWSE")
#undef IDC_SIZENWSE
#pragma push_macro("IDC_SIZENESW")
#undef IDC_SIZENESW
#pragma push_macro("IDC_SIZEWE")
#undef IDC_SIZEWE
#pragma push_macro("IDC_SIZENS")
#undef IDC_SIZENS
#pragma push_macro("OFN_PATHMUSTEXIST")
#undef OFN_PATHMUSTEXIST
#pragma push_macro("OFN_FILEMUSTEXIST")
#undef OFN_FILEMUSTEXIST
#pragma push_macro("OFN_NONETWORKBUTTON")
#undef OFN_NONETWORKBUTTON
#pragma push_macro("OFN_NOCHANGEDIR")
#undef OFN_NOCHANGEDIR
#pragma push_macro("INTERNET_OPEN_TYPE_PRECONFIG")
#undef INTERNET_OPEN_TYPE_PRECONFIG
#pragma push_macro("INTERNET_SERVICE_HTTP")
#undef INTERNET_SERVICE_HTTP
#pragma push_macro("INTERNET_FLAG_RELOAD")
#undef INTERNET_FLAG_RELOAD
#pragma push_macro("INTERNET_FLAG_NO_CACHE_WRITE")
#undef INTERNET_FLAG_NO_CACHE_WRITE
#pragma push_macro("INTERNET_FLAG_SECURE")
#undef INTERNET_FLAG_SECURE
#pragma push_macro("HTTP_QUERY_STATUS_CODE")
#undef HTTP_QUERY_STATUS_CODE
#pragma push_macro("INTERNET_FLAG_KEEP_CONNECTION")
#undef INTERNET_FLAG_KEEP_CONNECTION
#pragma push_macro("INTERNET_FLAG_NO_AUTO_REDIRECT")
#undef INTERNET_FLAG_NO_AUTO_REDIRECT
#pragma push_macro("INTERNET_FLAG_NO_COOKIES")
#undef INTERNET_FLAG_NO_COOKIES
#pragma push_macro("INTERNET_FLAG_NO_UI")
#undef INTERNET_FLAG_NO_UI
#pragma push_macro("HTTP_QUERY_LOCATION")
#undef HTTP_QUERY_LOCATION
#pragma push_macro("ERROR_INTERNET_TIMEOUT")
#undef ERROR_INTERNET_TIMEOUT
#pragma push_macro("ERROR_INTERNET_INVALID_URL")
#undef ERROR_INTERNET_INVALID_URL
#pragma push_macro("ERROR_INTERNET_UNRECOGNIZED_SCHEME")
#undef ERROR_INTERNET_UNRECOGNIZED_SCHEME
#pragma push_macro("ERROR_INTERNET_NAME_NOT_RESOLVED")
#undef ERROR_INTERNET_NAME_NOT_RESOLVED
#pragma push_macro("ERROR_INTERNET_CANNOT_CONNECT")
#undef ERROR_INTERNET_CANNOT_CONNECT
#pragma push_macro("ERROR_INTERNET_CONNECTION_ABORTED")
#undef ERROR_INTERNET_CONNECTION_ABORTED
#pragma push_macro("ERROR_INTERNET_CONNECTION_RESET")
#undef ERROR_INTERNET_CONNECTION_RESET
#pragma push_macro("ERROR_INTERNET_SEC_CERT_DATE_INVALID")
#undef ERROR_INTERNET_SEC_CERT_DATE_INVALID
#pragma push_macro("ERROR_INTERNET_SEC_CERT_CN_INVALID")
#undef ERROR_INTERNET_SEC_CERT_CN_INVALID
#pragma push_macro("ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED")
#undef ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED
#pragma push_macro("ERROR_INTERNET_INVALID_CA")
#undef ERROR_INTERNET_INVALID_CA
#pragma push_macro("ERROR_INTERNET_SEC_CERT_ERRORS")
#undef ERROR_INTERNET_SEC_CERT_ERRORS
#pragma push_macro("ERROR_INTERNET_SEC_CERT_REV_FAILED")
#undef ERROR_INTERNET_SEC_CERT_REV_FAILED
#pragma push_macro("ERROR_HTTP_HEADER_NOT_FOUND")
#undef ERROR_HTTP_HEADER_NOT_FOUND
#pragma push_macro("ERROR_HTTP_INVALID_SERVER_RESPONSE")
#undef ERROR_HTTP_INVALID_SERVER_RESPONSE
#pragma push_macro("ERROR_INTERNET_SECURITY_CHANNEL_ERROR")
#undef ERROR_INTERNET_SECURITY_CHANNEL_ERROR
#pragma push_macro("ERROR_INTERNET_DISCONNECTED")
#undef ERROR_INTERNET_DISCONNECTED
#pragma push_macro("ERROR_INTERNET_SEC_INVALID_CERT")
#undef ERROR_INTERNET_SEC_INVALID_CERT
#pragma push_macro("ERROR_INTERNET_SEC_CERT_REVOKED")
#undef ERROR_INTERNET_SEC_CERT_REVOKED
#pragma push_macro("ERROR_NOT_ENOUGH_MEMORY")
#undef ERROR_NOT_ENOUGH_MEMORY
#pragma push_macro("ERROR_INSUFFICIENT_BUFFER")
#undef ERROR_INSUFFICIENT_BUFFER
#pragma push_macro("HTTP_QUERY_CUSTOM")
#undef HTTP_QUERY_CUSTOM
#pragma push_macro("INTERNET_OPTION_CONNECT_TIMEOUT")
#undef INTERNET_OPTION_CONNECT_TIMEOUT
#pragma push_macro("INTERNET_OPTION_SEND_TIMEOUT")
#undef INTERNET_OPTION_SEND_TIMEOUT
#pragma push_macro("INTERNET_OPTION_RECEIVE_TIMEOUT")
#undef INTERNET_OPTION_RECEIVE_TIMEOUT
#pragma push_macro("INTERNET_STATUS_REQUEST_SENT")
#undef INTERNET_STATUS_REQUEST_SENT
#pragma push_macro("INTERNET_DEFAULT_HTTP_PORT")
#undef INTERNET_DEFAULT_HTTP_PORT
#pragma push_macro("INTERNET_DEFAULT_HTTPS_PORT")
#undef INTERNET_DEFAULT_HTTPS_PORT
#pragma push_macro("HKEY_CURRENT_USER")
#undef HKEY_CURRENT_USER
#pragma push_macro("KEY_QUERY_VALUE")
#undef KEY_QUERY_VALUE
#pragma push_macro("KEY_SET_VALUE")
#undef KEY_SET_VALUE
#pragma push_macro("KEY_ALL_ACCESS")
#undef KEY_ALL_ACCESS
#pragma push_macro("REG_SZ")
#undef REG_SZ
#pragma push_macro("REG_BINARY")
#undef REG_BINARY
#pragma push_macro("REG_DWORD")
#undef REG_DWORD
#pragma push_macro("REG_OPTION_NON_VOLATILE")
#undef REG_OPTION_NON_VOLATILE
#pragma push_macro("REG_EXPAND_SZ")
#undef REG_EXPAND_SZ
#pragma push_macro("ERROR_SUCCESS")
#undef ERROR_SUCCESS
#pragma push_macro("ERROR_FILE_NOT_FOUND")
#undef ERROR_FILE_NOT_FOUND
#pragma push_macro("ERROR_PATH_NOT_FOUND")
#undef ERROR_PATH_NOT_FOUND
#pragma push_macro("ERROR_ACCESS_DENIED")
#undef ERROR_ACCESS_DENIED
#pragma push_macro("ERROR_FILE_EXISTS")
#undef ERROR_FILE_EXISTS
#pragma push_macro("ERROR_MORE_DATA")
#undef ERROR_MORE_DATA
#pragma push_macro("ERROR_ALREADY_EXISTS")
#undef ERROR_ALREADY_EXISTS
#pragma push_macro("GENERIC_READ")
#undef GENERIC_READ
#pragma push_macro("GENERIC_WRITE")
#undef GENERIC_WRITE
#pragma push_macro("FILE_SHARE_READ")
#undef FILE_SHARE_READ
#pragma push_macro("FILE_SHARE_WRITE")
#undef FILE_SHARE_WRITE
#pragma push_macro("CREATE_ALWAYS")
#undef CREATE_ALWAYS
#pragma push_macro("OPEN_EXISTING")
#undef OPEN_EXISTING
#pragma push_macro("MOVEFILE_REPLACE_EXISTING")
#undef MOVEFILE_REPLACE_EXISTING
#pragma push_macro("MOVEFILE_WRITE_THROUGH")
#undef MOVEFILE_WRITE_THROUGH
#pragma push_macro("INVALID_HANDLE_VALUE")
#undef INVALID_HANDLE_VALUE
#pragma push_macro("CP_ACP")
#undef CP_ACP
#pragma push_macro("COINIT_APARTMENTTHREADED")
#undef COINIT_APARTMENTTHREADED
#pragma push_macro("COINIT_DISABLE_OLE1DDE")
#undef COINIT_DISABLE_OLE1DDE
#pragma push_macro("MAX_PATH")
#undef MAX_PATH
#pragma push_macro("WM_INITDIALOG")
#undef WM_INITDIALOG
#pragma push_macro("WM_SETFONT")
#undef WM_SETFONT
#pragma push_macro("DS_SETFONT")
#undef DS_SETFONT
#pragma push_macro("DS_FIXEDSYS")
#undef DS_FIXEDSYS
#pragma push_macro("RT_DIALOG")
#undef RT_DIALOG
#pragma push_macro("IDOK")
#undef IDOK
#pragma push_macro("BN_CLICKED")
#undef BN_CLICKED
#pragma push_macro("EN_CHANGE")
#undef EN_CHANGE
#pragma push_macro("BM_GETCHECK")
#undef BM_GETCHECK
#pragma push_macro("BST_CHECKED")
#undef BST_CHECKED
#pragma push_macro("EM_SETLIMITTEXT")
#undef EM_SETLIMITTEXT
#pragma push_macro("EM_SETPASSWORDCHAR")
#undef EM_SETPASSWORDCHAR
#pragma push_macro("EM_GETPASSWORDCHAR")
#undef EM_GETPASSWORDCHAR
#pragma push_macro("HKM_SETHOTKEY")
#undef HKM_SETHOTKEY
#pragma push_macro("HKM_GETHOTKEY")
#undef HKM_GETHOTKEY
#pragma push_macro("HOTKEYF_SHIFT")
#undef HOTKEYF_SHIFT
#pragma push_macro("HOTKEYF_CONTROL")
#undef HOTKEYF_CONTROL
#pragma push_macro("HOTKEYF_ALT")
#undef HOTKEYF_ALT
#pragma push_macro("HOTKEYF_EXT")
#undef HOTKEYF_EXT
#pragma push_macro("ICC_HOTKEY_CLASS")
#undef ICC_HOTKEY_CLASS
#pragma push_macro("DWMWA_EXTENDED_FRAME_BOUNDS")
#undef DWMWA_EXTENDED_FRAME_BOUNDS
#pragma push_macro("DWMWA_CLOAKED")
#undef DWMWA_CLOAKED
#pragma push_macro("GWL_EXSTYLE")
#undef GWL_EXSTYLE
#pragma push_macro("COLORONCOLOR")
#undef COLORONCOLOR
#pragma push_macro("VK_M")
#undef VK_M
#pragma push_macro("SW_SHOWNA")
#undef SW_SHOWNA
#pragma push_macro("WM_ENTERIDLE")
#undef WM_ENTERIDLE
#pragma push_macro("MSGF_DIALOGBOX")
#undef MSGF_DIALOGBOX
// <windows.h> names hidden: end

namespace platform {

// Opaque handles: never dereferenced by the logic.
struct HwndTag;      using Hwnd = HwndTag*;
struct HdcTag;       using Hdc = HdcTag*;
struct HbitmapTag;   using Hbitmap = HbitmapTag*;
struct HgdiobjTag;   using Hgdiobj = HgdiobjTag*;   // pens, brushes, bitmaps as selected objects
struct HmenuTag;     using Hmenu = HmenuTag*;
struct HiconTag;     using Hicon = HiconTag*;
struct HcursorTag;   using Hcursor = HcursorTag*;
struct HinstanceTag; using Hinstance = HinstanceTag*;
struct HkeyTag;      using Hkey = HkeyTag*;
struct HinternetTag; using Hinternet = HinternetTag*;
struct HglobalTag;   using Hglobal = HglobalTag*;
struct HrsrcTag;     using Hrsrc = HrsrcTag*;
struct HandleTag;    using Handle = HandleTag*;      // kernel objects: files, threads
struct GpImageTag;   using GpImage = GpImageTag*;    // GDI+ native image
struct ItemIdListTag; using ItemIdList = ItemIdListTag*;

using Wparam = std::uintptr_t;
using Lparam = std::intptr_t;
using Lresult = std::intptr_t;
using Bool = std::int32_t;   // the platform's 32-bit BOOL

using WindowProc = Lresult (*)(Hwnd, std::uint32_t, Wparam, Lparam);
using ThreadProc = std::uint32_t (*)(void*);

struct Point { std::int32_t x, y; };
struct Rect { std::int32_t left, top, right, bottom; };
// A calendar date and time of day, as GetLocalTime gives it.
struct SystemTime {
  std::uint16_t wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};

struct Guid {
  std::uint32_t data1;
  std::uint16_t data2, data3;
  std::uint8_t data4[8];
};

struct Msg {
  Hwnd hwnd;
  std::uint32_t message;
  Wparam wParam;
  Lparam lParam;
  std::uint32_t time;
  Point pt;
  std::uint32_t lPrivate;
};

struct WndClass {
  std::uint32_t style;
  WindowProc lpfnWndProc;
  std::int32_t cbClsExtra;
  std::int32_t cbWndExtra;
  Hinstance hInstance;
  Hicon hIcon;
  Hcursor hCursor;
  Hgdiobj hbrBackground;
  const char16_t* lpszMenuName;
  const char16_t* lpszClassName;
};

// A device-independent bitmap's description, with room for one colour entry.
struct BitmapInfoHeader {
  std::uint32_t biSize;
  std::int32_t biWidth;
  std::int32_t biHeight;  // negative: the first row is the top one
  std::uint16_t biPlanes;
  std::uint16_t biBitCount;
  std::uint32_t biCompression;
  std::uint32_t biSizeImage;
  std::int32_t biXPelsPerMeter;
  std::int32_t biYPelsPerMeter;
  std::uint32_t biClrUsed;
  std::uint32_t biClrImportant;
};

struct BitmapInfo {
  BitmapInfoHeader bmiHeader;
  std::uint32_t bmiColors[1];  // blue, green, red, reserved
};

struct Size { std::int32_t cx, cy; };

struct LogFont {
  std::int32_t lfHeight, lfWidth, lfEscapement, lfOrientation, lfWeight;
  std::uint8_t lfItalic, lfUnderline, lfStrikeOut, lfCharSet, lfOutPrecision, lfClipPrecision, lfQuality,
      lfPitchAndFamily;
  char16_t lfFaceName[32];
};

// SystemParametersInfoW's SPI_GETNONCLIENTMETRICS record (with the padded border, Vista on).
struct NonClientMetrics {
  std::uint32_t cbSize;
  std::int32_t iBorderWidth, iScrollWidth, iScrollHeight, iCaptionWidth, iCaptionHeight;
  LogFont lfCaptionFont;
  std::int32_t iSmCaptionWidth, iSmCaptionHeight;
  LogFont lfSmCaptionFont;
  std::int32_t iMenuWidth, iMenuHeight;
  LogFont lfMenuFont, lfStatusFont, lfMessageFont;
  std::int32_t iPaddedBorderWidth;
};

struct MonitorInfo {
  std::uint32_t cbSize;
  Rect rcMonitor, rcWork;
  std::uint32_t dwFlags;
};
struct HmonitorTag; using Hmonitor = HmonitorTag*;

struct PaintStruct {
  Hdc hdc;
  Bool fErase;
  Rect rcPaint;
  Bool fRestore;
  Bool fIncUpdate;
  std::uint8_t rgbReserved[32];
};

struct NotifyIconData {
  std::uint32_t cbSize;
  Hwnd hWnd;
  std::uint32_t uID;
  std::uint32_t uFlags;
  std::uint32_t uCallbackMessage;
  Hicon hIcon;
  char16_t szTip[128];
  std::uint32_t dwState;
  std::uint32_t dwStateMask;
  char16_t szInfo[256];
  std::uint32_t uTimeoutOrVersion;
  char16_t szInfoTitle[64];
  std::uint32_t dwInfoFlags;
  Guid guidItem;
  Hicon hBalloonIcon;
};

struct OpenFileName {
  std::uint32_t lStructSize;
  Hwnd hwndOwner;
  Hinstance hInstance;
  const char16_t* lpstrFilter;
  char16_t* lpstrCustomFilter;
  std::uint32_t nMaxCustFilter;
  std::uint32_t nFilterIndex;
  char16_t* lpstrFile;
  std::uint32_t nMaxFile;
  char16_t* lpstrFileTitle;
  std::uint32_t nMaxFileTitle;
  const char16_t* lpstrInitialDir;
  const char16_t* lpstrTitle;
  std::uint32_t Flags;
  std::uint16_t nFileOffset;
  std::uint16_t nFileExtension;
  const char16_t* lpstrDefExt;
  Lparam lCustData;
  void* lpfnHook;
  const char16_t* lpTemplateName;
  void* pvReserved;
  std::uint32_t dwReserved;
  std::uint32_t FlagsEx;
};

struct BrowseInfo {
  Hwnd hwndOwner;
  ItemIdList pidlRoot;
  char16_t* pszDisplayName;
  const char16_t* lpszTitle;
  std::uint32_t ulFlags;
  void* lpfn;
  Lparam lParam;
  std::int32_t iImage;
};

struct ShellExecuteInfo {
  std::uint32_t cbSize;
  std::uint32_t fMask;
  Hwnd hwnd;
  const char16_t* lpVerb;
  const char16_t* lpFile;
  const char16_t* lpParameters;
  const char16_t* lpDirectory;
  std::int32_t nShow;
  Hinstance hInstApp;
  void* lpIDList;
  const char16_t* lpClass;
  Hkey hkeyClass;
  std::uint32_t dwHotKey;
  Handle hIconOrMonitor;
  Handle hProcess;
};
// ShellExecuteExW: the launch is done before the call returns, whatever thread
// or process ends next; a failure shows no box of the shell's.
inline constexpr std::uint32_t SEE_MASK_NOASYNC = 0x00000100, SEE_MASK_FLAG_NO_UI = 0x00000400;

// GDI+ records of the flat interface.
struct GdiplusStartupInput {
  std::uint32_t GdiplusVersion;
  void* DebugEventCallback;
  Bool SuppressBackgroundThread;
  Bool SuppressExternalCodecs;
};

struct ImageCodecInfo {
  Guid Clsid;
  Guid FormatID;
  const char16_t* CodecName;
  const char16_t* DllName;
  const char16_t* FormatDescription;
  const char16_t* FilenameExtension;
  const char16_t* MimeType;
  std::uint32_t Flags;
  std::uint32_t Version;
  std::uint32_t SigCount;
  std::uint32_t SigSize;
  const std::uint8_t* SigPattern;
  const std::uint8_t* SigMask;
};

struct EncoderParameter {
  Guid Guid_;
  std::uint32_t NumberOfValues;
  std::uint32_t Type;
  void* Value;
};

struct EncoderParameters {
  std::uint32_t Count;
  EncoderParameter Parameter[1];
};

using GpStatus = std::int32_t;  // 0 = Ok

// Messages, flags and error codes, with the platform's values.
inline constexpr std::uint32_t WM_NULL = 0x0000, WM_DESTROY = 0x0002, WM_PAINT = 0x000F, WM_ERASEBKGND = 0x0014,
  WM_COMMAND = 0x0111, WM_HOTKEY = 0x0312, WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201,
  WM_LBUTTONUP = 0x0202, WM_LBUTTONDBLCLK = 0x0203, WM_RBUTTONDOWN = 0x0204, WM_RBUTTONUP = 0x0205,
  WM_QUIT = 0x0012, WM_USER = 0x0400, WM_QUERYENDSESSION = 0x0011, WM_ENDSESSION = 0x0016,
  WM_KEYFIRST = 0x0100, WM_KEYLAST = 0x0109, WM_MOUSEFIRST = 0x0200, WM_MOUSELAST = 0x020E,
  WM_KEYDOWN = 0x0100, WM_CANCELMODE = 0x001F, WM_DISPLAYCHANGE = 0x007E, WM_CAPTURECHANGED = 0x0215;
// The shell's and the tray's messages.
inline constexpr std::uint32_t WM_CLOSE = 0x0010, WM_TIMER = 0x0113, WM_CONTEXTMENU = 0x007B;
// Typed characters, the wheel, the cursor's shape, and a click that need not activate the window.
inline constexpr std::uint32_t WM_CHAR = 0x0102, WM_MOUSEWHEEL = 0x020A, WM_SETCURSOR = 0x0020,
  WM_MOUSEACTIVATE = 0x0021;
inline constexpr std::int32_t HTCLIENT = 1, MA_NOACTIVATE = 3;
// The tray's notification events of version 4 (LOWORD of the callback's lParam) and NIM_SETVERSION's value.
inline constexpr std::uint32_t NIN_SELECT = 0x0400, NIN_KEYSELECT = 0x0401, NOTIFYICON_VERSION_4 = 4;
// ChangeWindowMessageFilterEx: let the message through to an elevated window.
inline constexpr std::uint32_t MSGFLT_ALLOW = 1;
// PeekMessageW: take the message out of the queue; look only at sent messages.
inline constexpr std::uint32_t PM_NOREMOVE = 0x0000, PM_REMOVE = 0x0001, PM_QS_SENDMESSAGE = 0x00400000,
  PM_QS_PAINT = 0x00200000;
// MsgWaitForMultipleObjects: wake for a message another thread sends, or a window to repaint.
inline constexpr std::uint32_t QS_SENDMESSAGE = 0x0040, QS_PAINT = 0x0020;

inline constexpr std::uint32_t CS_VREDRAW = 0x0001, CS_HREDRAW = 0x0002;
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
// The parent that makes a message-only window: never shown, never enumerated.
inline const Hwnd HWND_MESSAGE = reinterpret_cast<Hwnd>(static_cast<std::intptr_t>(-3));
inline constexpr std::uint32_t WS_EX_TOPMOST = 0x00000008, WS_EX_TRANSPARENT = 0x00000020,
  WS_EX_TOOLWINDOW = 0x00000080, WS_EX_LAYERED = 0x00080000, WS_EX_NOACTIVATE = 0x08000000;
inline constexpr std::int32_t SW_HIDE = 0, SW_SHOW = 5;
inline constexpr std::uint32_t SWP_NOSIZE = 0x0001, SWP_NOMOVE = 0x0002, SWP_NOZORDER = 0x0004,
                               SWP_NOREDRAW = 0x0008, SWP_NOACTIVATE = 0x0010, SWP_SHOWWINDOW = 0x0040,
                               SWP_HIDEWINDOW = 0x0080;
// SetWindowPos's place in the z-order: above every window that is not topmost.
inline const Hwnd HWND_TOPMOST = reinterpret_cast<Hwnd>(static_cast<std::intptr_t>(-1));
inline constexpr std::int32_t SM_XVIRTUALSCREEN = 76, SM_YVIRTUALSCREEN = 77,
  SM_CXVIRTUALSCREEN = 78, SM_CYVIRTUALSCREEN = 79, SM_CXSMICON = 49;
inline constexpr std::uint32_t LWA_COLORKEY = 0x1, LWA_ALPHA = 0x2;
inline constexpr std::uint32_t MOD_ALT = 0x0001;
inline constexpr std::uint32_t MOD_CONTROL = 0x0002, MOD_SHIFT = 0x0004, MOD_WIN = 0x0008, MOD_NOREPEAT = 0x4000;
inline constexpr std::uint32_t MF_GRAYED = 0x0001, MF_POPUP = 0x0010;
inline constexpr std::uint32_t MB_ICONQUESTION = 0x20, MB_ICONWARNING = 0x30;
inline constexpr std::uint32_t VK_ESCAPE = 0x1B, VK_SHIFT = 0x10, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27,
  VK_DOWN = 0x28;
inline constexpr std::uint32_t VK_RETURN = 0x0D, VK_CONTROL = 0x11;
inline constexpr std::uint32_t MF_BYPOSITION = 0x0400, MF_CHECKED = 0x0008, MF_SEPARATOR = 0x0800;
inline constexpr std::uint32_t TPM_BOTTOMALIGN = 0x0020, TPM_NONOTIFY = 0x0080, TPM_RETURNCMD = 0x0100;
inline constexpr std::uint32_t MB_OK = 0x0, MB_YESNO = 0x4, MB_RETRYCANCEL = 0x5, MB_ICONERROR = 0x10,
  MB_ICONINFORMATION = 0x40, MB_TOPMOST = 0x40000;
inline constexpr std::int32_t IDCANCEL = 2, IDRETRY = 4, IDYES = 6, IDNO = 7;
inline constexpr std::uint32_t IMAGE_ICON = 1, LR_DEFAULTCOLOR = 0;
inline constexpr std::uint32_t NIM_ADD = 0, NIM_MODIFY = 1, NIM_DELETE = 2, NIM_SETVERSION = 4;
inline constexpr std::uint32_t NIF_MESSAGE = 1, NIF_ICON = 2, NIF_TIP = 4, NIF_INFO = 0x10;
inline constexpr std::int32_t WHITE_BRUSH = 0;
inline constexpr std::int32_t PS_DOT = 2;
inline constexpr std::int32_t TRANSPARENT = 1;
// LOGFONT's quality: grey-scale smoothing, never the coloured edges of subpixel text.
inline constexpr std::uint8_t ANTIALIASED_QUALITY = 4;
inline constexpr std::uint32_t SPI_GETNONCLIENTMETRICS = 0x0029, MONITOR_DEFAULTTONEAREST = 2;
inline constexpr std::uint32_t SRCCOPY = 0x00CC0020;
// With the copy: layered (and other composited) windows on the screen come along, as the user sees them.
inline constexpr std::uint32_t CAPTUREBLT = 0x40000000;
inline constexpr std::uint32_t BI_RGB = 0, DIB_RGB_COLORS = 0;
// The header of a 32-bit DIB of width x height, its first row the top one.
inline BitmapInfo TopDownRgb32(std::int32_t width, std::int32_t height) {
  BitmapInfo info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}
inline constexpr std::uint32_t CF_TEXT = 1, CF_DIB = 8, CF_UNICODETEXT = 13;
inline constexpr std::uint32_t WAIT_OBJECT_0 = 0, WAIT_TIMEOUT = 258;
inline constexpr std::uint32_t STACK_SIZE_PARAM_IS_A_RESERVATION = 0x10000;
inline constexpr std::uint32_t GMEM_MOVEABLE = 0x0002, GMEM_DDESHARE = 0x2000;
// Stock cursor ids, passed to LoadCursorW with no instance.
inline constexpr std::uintptr_t IDC_ARROW = 32512, IDC_WAIT = 32514;
inline constexpr std::uintptr_t IDC_SIZENWSE = 32642, IDC_SIZENESW = 32643, IDC_SIZEWE = 32644, IDC_SIZENS = 32645;

inline constexpr std::uint32_t OFN_PATHMUSTEXIST = 0x800, OFN_FILEMUSTEXIST = 0x1000,
  OFN_NONETWORKBUTTON = 0x20000, OFN_NOCHANGEDIR = 0x8;

inline constexpr std::uint32_t INTERNET_OPEN_TYPE_PRECONFIG = 0, INTERNET_SERVICE_HTTP = 3,
  INTERNET_FLAG_RELOAD = 0x80000000u, INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000u,
  INTERNET_FLAG_SECURE = 0x00800000u, HTTP_QUERY_STATUS_CODE = 19;
// A request of ours follows no redirect, keeps and sends no cookies, shows no
// dialog of the platform's, and keeps its connection for a proxy's handshake.
inline constexpr std::uint32_t INTERNET_FLAG_KEEP_CONNECTION = 0x00400000u,
  INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000u, INTERNET_FLAG_NO_COOKIES = 0x00080000u,
  INTERNET_FLAG_NO_UI = 0x00000200u, HTTP_QUERY_LOCATION = 33;
// WinINet's error codes that a failure message puts in words.
inline constexpr std::uint32_t ERROR_INTERNET_TIMEOUT = 12002, ERROR_INTERNET_INVALID_URL = 12005,
  ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006, ERROR_INTERNET_NAME_NOT_RESOLVED = 12007,
  ERROR_INTERNET_CANNOT_CONNECT = 12029, ERROR_INTERNET_CONNECTION_ABORTED = 12030,
  ERROR_INTERNET_CONNECTION_RESET = 12031, ERROR_INTERNET_SEC_CERT_DATE_INVALID = 12037,
  ERROR_INTERNET_SEC_CERT_CN_INVALID = 12038, ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED = 12044,
  ERROR_INTERNET_INVALID_CA = 12045, ERROR_INTERNET_SEC_CERT_ERRORS = 12055,
  ERROR_INTERNET_SEC_CERT_REV_FAILED = 12057, ERROR_HTTP_HEADER_NOT_FOUND = 12150,
  ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152, ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157,
  ERROR_INTERNET_DISCONNECTED = 12163, ERROR_INTERNET_SEC_INVALID_CERT = 12169,
  ERROR_INTERNET_SEC_CERT_REVOKED = 12170, ERROR_NOT_ENOUGH_MEMORY = 8, ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr std::uint32_t HTTP_QUERY_CUSTOM = 65535;
inline constexpr std::uint32_t INTERNET_OPTION_CONNECT_TIMEOUT = 2, INTERNET_OPTION_SEND_TIMEOUT = 5,
  INTERNET_OPTION_RECEIVE_TIMEOUT = 6;
// Status callback: the request and its body have gone out.
inline constexpr std::uint32_t INTERNET_STATUS_REQUEST_SENT = 31;
inline constexpr std::uint16_t INTERNET_DEFAULT_HTTP_PORT = 80, INTERNET_DEFAULT_HTTPS_PORT = 443;

// Registry: predefined root, rights, types, options.
inline const Hkey HKEY_CURRENT_USER = reinterpret_cast<Hkey>(static_cast<std::uintptr_t>(0x80000001u));
inline constexpr std::uint32_t KEY_QUERY_VALUE = 0x0001, KEY_SET_VALUE = 0x0002, KEY_ALL_ACCESS = 0xF003F;
inline constexpr std::uint32_t REG_SZ = 1, REG_BINARY = 3, REG_DWORD = 4, REG_OPTION_NON_VOLATILE = 0;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;

inline constexpr std::int32_t ERROR_SUCCESS = 0, ERROR_FILE_NOT_FOUND = 2, ERROR_PATH_NOT_FOUND = 3,
  ERROR_ACCESS_DENIED = 5, ERROR_FILE_EXISTS = 80, ERROR_MORE_DATA = 234, ERROR_ALREADY_EXISTS = 183;

// Files (CreateFileW).
inline constexpr std::uint32_t GENERIC_READ = 0x80000000u, GENERIC_WRITE = 0x40000000u;
inline constexpr std::uint32_t FILE_SHARE_READ = 1, FILE_SHARE_WRITE = 2;
inline constexpr std::uint32_t CREATE_ALWAYS = 2, OPEN_EXISTING = 3;
inline constexpr std::uint32_t MOVEFILE_REPLACE_EXISTING = 0x1, MOVEFILE_WRITE_THROUGH = 0x8;
inline const Handle INVALID_HANDLE_VALUE = reinterpret_cast<Handle>(static_cast<std::intptr_t>(-1));

inline constexpr std::uint32_t CP_ACP = 0;
inline constexpr std::uint32_t COINIT_APARTMENTTHREADED = 0x2, COINIT_DISABLE_OLE1DDE = 0x4;

inline constexpr std::uint32_t MAX_PATH = 260;

// Dialogs: the dialog manager's messages and answers, buttons, edit fields and
// the hot-key control of the common controls.
using DialogProc = std::intptr_t (*)(Hwnd, std::uint32_t, Wparam, Lparam);
inline constexpr std::uint32_t WM_INITDIALOG = 0x0110, WM_SETFONT = 0x0030;
// A dialog template's font styles, and the resource type of templates.
inline constexpr std::uint32_t DS_SETFONT = 0x40, DS_FIXEDSYS = 0x08;
inline constexpr std::uintptr_t RT_DIALOG = 5;
inline constexpr std::int32_t IDOK = 1;
inline constexpr std::uint32_t BN_CLICKED = 0, EN_CHANGE = 0x0300;
inline constexpr std::uint32_t BM_GETCHECK = 0x00F0, BST_CHECKED = 1;
inline constexpr std::uint32_t EM_SETLIMITTEXT = 0x00C5, EM_SETPASSWORDCHAR = 0x00CC, EM_GETPASSWORDCHAR = 0x00D2;
inline constexpr std::uint32_t HKM_SETHOTKEY = 0x0401, HKM_GETHOTKEY = 0x0402;
inline constexpr std::uint32_t HOTKEYF_SHIFT = 0x01, HOTKEYF_CONTROL = 0x02, HOTKEYF_ALT = 0x04, HOTKEYF_EXT = 0x08;
inline constexpr std::uint32_t ICC_HOTKEY_CLASS = 0x00000040;
struct InitCommonControlsRecord {
  std::uint32_t dwSize;
  std::uint32_t dwICC;
};
// The window under the cursor in capture mode: the frame the desktop window
// manager draws (without the invisible resize borders) and whether it hides
// the window (cloaked: another virtual desktop, a suspended app); a window's
// extended style; the magnifier's stretch mode and the key that toggles it.
inline constexpr std::uint32_t DWMWA_EXTENDED_FRAME_BOUNDS = 9, DWMWA_CLOAKED = 14;
inline constexpr std::int32_t GWL_EXSTYLE = -20;
inline constexpr std::int32_t COLORONCOLOR = 3;
inline constexpr std::uint32_t VK_M = 0x4D;
// ShowWindow: shown without being activated, so the keyboard stays where it is.
inline constexpr std::int32_t SW_SHOWNA = 8;
// Sent to a modal dialog's owner each time the dialog's loop has emptied its
// queue (wParam MSGF_DIALOGBOX, lParam the dialog).
inline constexpr std::uint32_t WM_ENTERIDLE = 0x0121, MSGF_DIALOGBOX = 0;

// Makes an integer resource or stock id into the name pointer the platform expects.
inline const char16_t* MakeIntResource(std::uintptr_t id) { return reinterpret_cast<const char16_t*>(id); }

}  // namespace platform

// <windows.h> names restored: begin
#pragma pop_macro("SEE_MASK_NOASYNC")
#pragma pop_macro("SEE_MASK_FLAG_NO_UI")
#pragma pop_macro("WM_NULL")
#pragma pop_macro("WM_DESTROY")
#pragma pop_macro("WM_PAINT")
#pragma pop_macro("WM_ERASEBKGND")
#pragma pop_macro("WM_COMMAND")
#pragma pop_macro("WM_HOTKEY")
#pragma pop_macro("WM_MOUSEMOVE")
#pragma pop_macro("WM_LBUTTONDOWN")
#pragma pop_macro("WM_LBUTTONUP")
#pragma pop_macro("WM_LBUTTONDBLCLK")
#pragma pop_macro("WM_RBUTTONDOWN")
#pragma pop_macro("WM_RBUTTONUP")
#pragma pop_macro("WM_QUIT")
#pragma pop_macro("WM_USER")
#pragma pop_macro("WM_QUERYENDSESSION")
#pragma pop_macro("WM_ENDSESSION")
#pragma pop_macro("WM_KEYFIRST")
#pragma pop_macro("WM_KEYLAST")
#pragma pop_macro("WM_MOUSEFIRST")
#pragma pop_macro("WM_MOUSELAST")
#pragma pop_macro("WM_KEYDOWN")
#pragma pop_macro("WM_CANCELMODE")
#pragma pop_macro("WM_DISPLAYCHANGE")
#pragma pop_macro("WM_CAPTURECHANGED")
#pragma pop_macro("WM_CLOSE")
#pragma pop_macro("WM_TIMER")
#pragma pop_macro("WM_CONTEXTMENU")
#pragma pop_macro("WM_CHAR")
#pragma pop_macro("WM_MOUSEWHEEL")
#pragma pop_macro("WM_SETCURSOR")
#pragma pop_macro("WM_MOUSEACTIVATE")
#pragma pop_macro("HTCLIENT")
#pragma pop_macro("MA_NOACTIVATE")
#pragma pop_macro("NIN_SELECT")
#pragma pop_macro("NIN_KEYSELECT")
#pragma pop_macro("NOTIFYICON_VERSION_4")
#pragma pop_macro("MSGFLT_ALLOW")
#pragma pop_macro("PM_NOREMOVE")
#pragma pop_macro("PM_REMOVE")
#pragma pop_macro("PM_QS_SENDMESSAGE")
#pragma pop_macro("PM_QS_PAINT")
#pragma pop_macro("QS_SENDMESSAGE")
#pragma pop_macro("QS_PAINT")
#pragma pop_macro("CS_VREDRAW")
#pragma pop_macro("CS_HREDRAW")
#pragma pop_macro("WS_POPUP")
#pragma pop_macro("HWND_MESSAGE")
#pragma pop_macro("WS_EX_TOPMOST")
#pragma pop_macro("WS_EX_TRANSPARENT")
#pragma pop_macro("WS_EX_TOOLWINDOW")
#pragma pop_macro("WS_EX_LAYERED")
#pragma pop_macro("WS_EX_NOACTIVATE")
#pragma pop_macro("SW_HIDE")
#pragma pop_macro("SW_SHOW")
#pragma pop_macro("SWP_NOSIZE")
#pragma pop_macro("SWP_NOMOVE")
#pragma pop_macro("SWP_NOZORDER")
#pragma pop_macro("SWP_NOREDRAW")
#pragma pop_macro("SWP_NOACTIVATE")
#pragma pop_macro("SWP_SHOWWINDOW")
#pragma pop_macro("SWP_HIDEWINDOW")
#pragma pop_macro("HWND_TOPMOST")
#pragma pop_macro("SM_XVIRTUALSCREEN")
#pragma pop_macro("SM_YVIRTUALSCREEN")
#pragma pop_macro("SM_CXVIRTUALSCREEN")
#pragma pop_macro("SM_CYVIRTUALSCREEN")
#pragma pop_macro("SM_CXSMICON")
#pragma pop_macro("LWA_COLORKEY")
#pragma pop_macro("LWA_ALPHA")
#pragma pop_macro("MOD_ALT")
#pragma pop_macro("MOD_CONTROL")
#pragma pop_macro("MOD_SHIFT")
#pragma pop_macro("MOD_WIN")
#pragma pop_macro("MOD_NOREPEAT")
#pragma pop_macro("MF_GRAYED")
#pragma pop_macro("MF_POPUP")
#pragma pop_macro("MB_ICONQUESTION")
#pragma pop_macro("MB_ICONWARNING")
#pragma pop_macro("VK_ESCAPE")
#pragma pop_macro("VK_SHIFT")
#pragma pop_macro("VK_LEFT")
#pragma pop_macro("VK_UP")
#pragma pop_macro("VK_RIGHT")
#pragma pop_macro("VK_DOWN")
#pragma pop_macro("VK_RETURN")
#pragma pop_macro("VK_CONTROL")
#pragma pop_macro("MF_BYPOSITION")
#pragma pop_macro("MF_CHECKED")
#pragma pop_macro("MF_SEPARATOR")
#pragma pop_macro("TPM_BOTTOMALIGN")
#pragma pop_macro("TPM_NONOTIFY")
#pragma pop_macro("TPM_RETURNCMD")
#pragma pop_macro("MB_OK")
#pragma pop_macro("MB_YESNO")
#pragma pop_macro("MB_RETRYCANCEL")
#pragma pop_macro("MB_ICONERROR")
#pragma pop_macro("MB_ICONINFORMATION")
#pragma pop_macro("MB_TOPMOST")
#pragma pop_macro("IDCANCEL")
#pragma pop_macro("IDRETRY")
#pragma pop_macro("IDYES")
#pragma pop_macro("IDNO")
#pragma pop_macro("IMAGE_ICON")
#pragma pop_macro("LR_DEFAULTCOLOR")
#pragma pop_macro("NIM_ADD")
#pragma pop_macro("NIM_MODIFY")
#pragma pop_macro("NIM_DELETE")
#pragma pop_macro("NIM_SETVERSION")
#pragma pop_macro("NIF_MESSAGE")
#pragma pop_macro("NIF_ICON")
#pragma pop_macro("NIF_TIP")
#pragma pop_macro("NIF_INFO")
#pragma pop_macro("WHITE_BRUSH")
#pragma pop_macro("PS_DOT")
#pragma pop_macro("TRANSPARENT")
#pragma pop_macro("ANTIALIASED_QUALITY")
#pragma pop_macro("SPI_GETNONCLIENTMETRICS")
#pragma pop_macro("MONITOR_DEFAULTTONEAREST")
#pragma pop_macro("SRCCOPY")
#pragma pop_macro("CAPTUREBLT")
#pragma pop_macro("BI_RGB")
#pragma pop_macro("DIB_RGB_COLORS")
#pragma pop_macro("CF_TEXT")
#pragma pop_macro("CF_DIB")
#pragma pop_macro("CF_UNICODETEXT")
#pragma pop_macro("WAIT_OBJECT_0")
#pragma pop_macro("WAIT_TIMEOUT")
#pragma pop_macro("STACK_SIZE_PARAM_IS_A_RESERVATION")
#pragma pop_macro("GMEM_MOVEABLE")
#pragma pop_macro("GMEM_DDESHARE")
#pragma pop_macro("IDC_ARROW")
#pragma pop_macro("IDC_WAIT")
#pragma pop_macro("IDC_SIZENWSE")
#pragma pop_macro("IDC_SIZENESW")
#pragma pop_macro("IDC_SIZEWE")
#pragma pop_macro("IDC_SIZENS")
#pragma pop_macro("OFN_PATHMUSTEXIST")
#pragma pop_macro("OFN_FILEMUSTEXIST")
#pragma pop_macro("OFN_NONETWORKBUTTON")
#pragma pop_macro("OFN_NOCHANGEDIR")
#pragma pop_macro("INTERNET_OPEN_TYPE_PRECONFIG")
#pragma pop_macro("INTERNET_SERVICE_HTTP")
#pragma pop_macro("INTERNET_FLAG_RELOAD")
#pragma pop_macro("INTERNET_FLAG_NO_CACHE_WRITE")
#pragma pop_macro("INTERNET_FLAG_SECURE")
#pragma pop_macro("HTTP_QUERY_STATUS_CODE")
#pragma pop_macro("INTERNET_FLAG_KEEP_CONNECTION")
#pragma pop_macro("INTERNET_FLAG_NO_AUTO_REDIRECT")
#pragma pop_macro("INTERNET_FLAG_NO_COOKIES")
#pragma pop_macro("INTERNET_FLAG_NO_UI")
#pragma pop_macro("HTTP_QUERY_LOCATION")
#pragma pop_macro("ERROR_INTERNET_TIMEOUT")
#pragma pop_macro("ERROR_INTERNET_INVALID_URL")
#pragma pop_macro("ERROR_INTERNET_UNRECOGNIZED_SCHEME")
#pragma pop_macro("ERROR_INTERNET_NAME_NOT_RESOLVED")
#pragma pop_macro("ERROR_INTERNET_CANNOT_CONNECT")
#pragma pop_macro("ERROR_INTERNET_CONNECTION_ABORTED")
#pragma pop_macro("ERROR_INTERNET_CONNECTION_RESET")
#pragma pop_macro("ERROR_INTERNET_SEC_CERT_DATE_INVALID")
#pragma pop_macro("ERROR_INTERNET_SEC_CERT_CN_INVALID")
#pragma pop_macro("ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED")
#pragma pop_macro("ERROR_INTERNET_INVALID_CA")
#pragma pop_macro("ERROR_INTERNET_SEC_CERT_ERRORS")
#pragma pop_macro("ERROR_INTERNET_SEC_CERT_REV_FAILED")
#pragma pop_macro("ERROR_HTTP_HEADER_NOT_FOUND")
#pragma pop_macro("ERROR_HTTP_INVALID_SERVER_RESPONSE")
#pragma pop_macro("ERROR_INTERNET_SECURITY_CHANNEL_ERROR")
#pragma pop_macro("ERROR_INTERNET_DISCONNECTED")
#pragma pop_macro("ERROR_INTERNET_SEC_INVALID_CERT")
#pragma pop_macro("ERROR_INTERNET_SEC_CERT_REVOKED")
#pragma pop_macro("ERROR_NOT_ENOUGH_MEMORY")
#pragma pop_macro("ERROR_INSUFFICIENT_BUFFER")
#pragma pop_macro("HTTP_QUERY_CUSTOM")
#pragma pop_macro("INTERNET_OPTION_CONNECT_TIMEOUT")
#pragma pop_macro("INTERNET_OPTION_SEND_TIMEOUT")
#pragma pop_macro("INTERNET_OPTION_RECEIVE_TIMEOUT")
#pragma pop_macro("INTERNET_STATUS_REQUEST_SENT")
#pragma pop_macro("INTERNET_DEFAULT_HTTP_PORT")
#pragma pop_macro("INTERNET_DEFAULT_HTTPS_PORT")
#pragma pop_macro("HKEY_CURRENT_USER")
#pragma pop_macro("KEY_QUERY_VALUE")
#pragma pop_macro("KEY_SET_VALUE")
#pragma pop_macro("KEY_ALL_ACCESS")
#pragma pop_macro("REG_SZ")
#pragma pop_macro("REG_BINARY")
#pragma pop_macro("REG_DWORD")
#pragma pop_macro("REG_OPTION_NON_VOLATILE")
#pragma pop_macro("REG_EXPAND_SZ")
#pragma pop_macro("ERROR_SUCCESS")
#pragma pop_macro("ERROR_FILE_NOT_FOUND")
#pragma pop_macro("ERROR_PATH_NOT_FOUND")
#pragma pop_macro("ERROR_ACCESS_DENIED")
#pragma pop_macro("ERROR_FILE_EXISTS")
#pragma pop_macro("ERROR_MORE_DATA")
#pragma pop_macro("ERROR_ALREADY_EXISTS")
#pragma pop_macro("GENERIC_READ")
#pragma pop_macro("GENERIC_WRITE")
#pragma pop_macro("FILE_SHARE_READ")
#pragma pop_macro("FILE_SHARE_WRITE")
#pragma pop_macro("CREATE_ALWAYS")
#pragma pop_macro("OPEN_EXISTING")
#pragma pop_macro("MOVEFILE_REPLACE_EXISTING")
#pragma pop_macro("MOVEFILE_WRITE_THROUGH")
#pragma pop_macro("INVALID_HANDLE_VALUE")
#pragma pop_macro("CP_ACP")
#pragma pop_macro("COINIT_APARTMENTTHREADED")
#pragma pop_macro("COINIT_DISABLE_OLE1DDE")
#pragma pop_macro("MAX_PATH")
#pragma pop_macro("WM_INITDIALOG")
#pragma pop_macro("WM_SETFONT")
#pragma pop_macro("DS_SETFONT")
#pragma pop_macro("DS_FIXEDSYS")
#pragma pop_macro("RT_DIALOG")
#pragma pop_macro("IDOK")
#pragma pop_macro("BN_CLICKED")
#pragma pop_macro("EN_CHANGE")
#pragma pop_macro("BM_GETCHECK")
#pragma pop_macro("BST_CHECKED")
#pragma pop_macro("EM_SETLIMITTEXT")
#pragma pop_macro("EM_SETPASSWORDCHAR")
#pragma pop_macro("EM_GETPASSWORDCHAR")
#pragma pop_macro("HKM_SETHOTKEY")
#pragma pop_macro("HKM_GETHOTKEY")
#pragma pop_macro("HOTKEYF_SHIFT")
#pragma pop_macro("HOTKEYF_CONTROL")
#pragma pop_macro("HOTKEYF_ALT")
#pragma pop_macro("HOTKEYF_EXT")
#pragma pop_macro("ICC_HOTKEY_CLASS")
#pragma pop_macro("DWMWA_EXTENDED_FRAME_BOUNDS")
#pragma pop_macro("DWMWA_CLOAKED")
#pragma pop_macro("GWL_EXSTYLE")
#pragma pop_macro("COLORONCOLOR")
#pragma pop_macro("VK_M")
#pragma pop_macro("SW_SHOWNA")
#pragma pop_macro("WM_ENTERIDLE")
#pragma pop_macro("MSGF_DIALOGBOX")
// <windows.h> names restored: end
