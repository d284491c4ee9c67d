// Renders a window layout table as a real Win32 window and runs it until it is closed.
#include <windows.h>

#include <deque>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_system.h"

namespace movrix {
namespace {

constexpr wchar_t kWindowClass[] = L"MovrixFrmCopy";
constexpr int kTwipsPerInch = 1440;

// Converts twips to pixels at the screen's real resolution.
struct Scale {
  int dpi_x, dpi_y;
  int X(int twips) const { return MulDiv(twips, dpi_x, kTwipsPerInch); }
  int Y(int twips) const { return MulDiv(twips, dpi_y, kTwipsPerInch); }
};

Scale ScreenScale() {
  const WindowDc screen(GetDC(nullptr));
  return {GetDeviceCaps(screen.get(), LOGPIXELSX), GetDeviceCaps(screen.get(), LOGPIXELSY)};
}

COLORREF Resolve(const Color& color, COLORREF fallback) {
  switch (color.kind) {
    case Color::Kind::kSystem:
      return GetSysColor(int(color.value));
    case Color::Kind::kRgb:
      return COLORREF(color.value);
    case Color::Kind::kDefault:
      break;
  }
  return fallback;
}

// The logo: a bitmap resource of the executable, drawn stretched to a box without its key-colour
// (magenta) pixels. A bitmap rather than a GIF loaded through OLE, whose libraries and picture
// codecs would cost the process more memory than the whole window. Drawn by gdi32's own
// transparent blit: msimg32, which offers the same under another name, is not one of the
// system's known libraries, and importing it would load a copy planted beside the program before
// WinMain could restrict the search.
class Picture {
 public:
  explicit Picture(const char* resource_name)
      : bitmap_(LoadImageW(GetModuleHandleW(nullptr), Wide(resource_name).c_str(), IMAGE_BITMAP, 0,
                           0, LR_CREATEDIBSECTION)) {}

  void Draw(HDC dc, const RECT& box) const {
    if (!bitmap_.valid()) return;
    BITMAP size;
    GetObjectW(bitmap_.get(), sizeof size, &size);
    const MemoryDc source(CreateCompatibleDC(dc));
    HGDIOBJ previous = SelectObject(source.get(), bitmap_.get());
    GdiTransparentBlt(dc, box.left, box.top, box.right - box.left, box.bottom - box.top,
                      source.get(), 0, 0, size.bmWidth, size.bmHeight, RGB(255, 0, 255));
    SelectObject(source.get(), previous);
  }

 private:
  GdiObject bitmap_;
};

// Everything the window holds while it is shown; released when it is closed.
class FormWindow {
 public:
  explicit FormWindow(const FormContent& form) : form_(form), scale_(ScreenScale()) {}
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  // Creates the window and its controls, shows it centred and runs it until it is closed.
  void Run() {
    RegisterWindowClass();
    if (!CreateMainWindow()) ThrowLastError();
    CreateControls();
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
    FocusFirstTabStop();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (IsDialogMessageW(window_, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
      auto* self =
          static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self) {
      LRESULT result = 0;
      if (self->Handle(message, wparam, lparam, result)) return result;
    }
    return DefWindowProcW(window, message, wparam, lparam);
  }

  bool Handle(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    switch (message) {
      case WM_COMMAND:
        // The button, Enter (IDOK) and Esc (IDCANCEL, as the close box) all close the window.
        if ((LOWORD(wparam) == ButtonId() || LOWORD(wparam) == IDOK ||
             LOWORD(wparam) == IDCANCEL) &&
            HIWORD(wparam) == BN_CLICKED)
          DestroyWindow(window_);
        return true;
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORSTATIC:
        result = ColourControl(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
        return true;
      case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
        FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
        if (logo_) logo_->Draw(item->hDC, item->rcItem);
        result = TRUE;
        return true;
      }
      case WM_DESTROY:
        PostQuitMessage(0);
        return true;
    }
    return false;
  }

  int ButtonId() const {
    for (size_t i = 0; i < Layout().control_count; ++i)
      if (Layout().controls[i].kind == ControlKind::kButton) return kFirstControlId + int(i);
    return 0;
  }

  const FormLayout& Layout() const { return *form_.layout; }

  void RegisterWindowClass() {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = Procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    window_class.lpszClassName = kWindowClass;
    RegisterClassW(&window_class);
  }

  // A fixed dialog frame, sized so that its client area is the layout's, centred on the screen.
  bool CreateMainWindow() {
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    const DWORD ex_style = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;
    RECT frame{0, 0, scale_.X(Layout().client_width), scale_.Y(Layout().client_height)};
    AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    window_ = CreateWindowExW(ex_style, kWindowClass, Wide(form_.caption).c_str(), style, left, top,
                              width, height, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (!window_) return false;
    icon_.Receive() = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
                                                    MAKEINTRESOURCEW(Layout().icon_resource),
                                                    IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.get()));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_.get()));
    return true;
  }

  // The control's top-left corner in the window's client area: containers add up.
  POINT Origin(int index) const {
    POINT origin{0, 0};
    for (int at = index; at != kOnWindow; at = Layout().controls[at].container) {
      origin.x += Layout().controls[at].left;
      origin.y += Layout().controls[at].top;
    }
    return {scale_.X(origin.x), scale_.Y(origin.y)};
  }

  void CreateControls() {
    for (size_t i = 0; i < Layout().control_count; ++i) controls_.push_back(CreateControl(int(i)));
    // Frames lie beneath the controls they hold.
    for (size_t i = 0; i < Layout().control_count; ++i)
      if (Layout().controls[i].kind == ControlKind::kFrame)
        SetWindowPos(controls_[i], HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }

  HWND CreateControl(int index) {
    const ControlSpec& spec = Layout().controls[index];
    const wchar_t* window_class = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD ex_style = 0;
    switch (spec.kind) {
      case ControlKind::kFrame:
        window_class = L"BUTTON";
        style |= BS_GROUPBOX;
        break;
      case ControlKind::kButton:
        window_class = L"BUTTON";
        style |= BS_PUSHBUTTON;
        break;
      case ControlKind::kTextBox:
        window_class = L"EDIT";
        style |= ES_LEFT | ES_READONLY;
        style |= (spec.flags & kMultiLine) ? ES_MULTILINE : ES_AUTOHSCROLL;
        if (spec.flags & kBothScrollBars)
          style |= WS_HSCROLL | WS_VSCROLL | ES_AUTOHSCROLL | ES_AUTOVSCROLL;
        // Boxes the user reads from carry a sunken border; the status lines sit flat.
        if (spec.flags & (kBothScrollBars | kDisabled)) ex_style |= WS_EX_CLIENTEDGE;
        break;
      case ControlKind::kLabel:
        style |= SS_LEFT | SS_NOPREFIX;
        break;
      case ControlKind::kImage:
        style |= SS_OWNERDRAW;
        logo_ = std::make_unique<Picture>(spec.text);
        break;
    }
    if (spec.flags & kTabStop) style |= WS_TABSTOP;
    if (spec.flags & kDisabled) style |= WS_DISABLED;

    HFONT font = CreateControlFont(spec.font);
    POINT origin = Origin(index);
    SIZE size{scale_.X(spec.width), scale_.Y(spec.height)};
    std::wstring text = spec.kind == ControlKind::kImage ? L"" : Wide(form_.texts[index]);
    if (spec.flags & kAutoSize) size = TextSize(font, text);
    HWND control = CreateWindowExW(
        ex_style, window_class, text.c_str(), style, origin.x, origin.y, size.cx, size.cy, window_,
        HMENU(INT_PTR(kFirstControlId + index)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (spec.kind == ControlKind::kTextBox) SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
    if (spec.kind == ControlKind::kTextBox && (spec.flags & kMultiLine)) LeaveDialogKeys(control);
    return control;
  }

  // A multi-line text box asks for every key, so Tab, Enter and Esc would never reach the
  // window's keyboard handling; a read-only box has no use for them.
  static void LeaveDialogKeys(HWND text_box) {
    SetWindowLongPtrW(text_box, GWLP_USERDATA, GetWindowLongPtrW(text_box, GWLP_WNDPROC));
    SetWindowLongPtrW(text_box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TextBoxProcedure));
  }

  static LRESULT CALLBACK TextBoxProcedure(HWND text_box, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
    auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(text_box, GWLP_USERDATA));
    LRESULT result = CallWindowProcW(original, text_box, message, wparam, lparam);
    if (message == WM_GETDLGCODE) result &= ~(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE);
    return result;
  }

  HFONT CreateControlFont(const Font& font) {
    const GdiObject& held = fonts_.emplace_back(CreateFontW(
        -MulDiv(font.centipoints, scale_.dpi_y, 7200), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL,
        FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
        DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Wide(font.face).c_str()));
    return static_cast<HFONT>(held.get());
  }

  SIZE TextSize(HFONT font, const std::wstring& text) const {
    const WindowDc dc(GetDC(window_), WindowDcTraits{window_});
    HGDIOBJ previous = SelectObject(dc.get(), font);
    SIZE size{0, 0};
    GetTextExtentPoint32W(dc.get(), text.c_str(), int(text.size()), &size);
    SelectObject(dc.get(), previous);
    return size;
  }

  // A control whose layout row names a colour gets it (the red status line); the others keep the
  // system's colours, which the user chose.
  LRESULT ColourControl(HDC dc, HWND control) {
    int index = GetDlgCtrlID(control) - kFirstControlId;
    if (index < 0 || size_t(index) >= Layout().control_count) return 0;
    const ControlSpec& spec = Layout().controls[index];
    COLORREF back = Resolve(spec.back, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, Resolve(spec.fore, GetSysColor(COLOR_WINDOWTEXT)));
    SetBkColor(dc, back);
    return reinterpret_cast<LRESULT>(Brush(back));
  }

  HBRUSH Brush(COLORREF colour) {
    for (size_t i = 0; i < brush_colours_.size(); ++i)
      if (brush_colours_[i] == colour) return static_cast<HBRUSH>(brushes_[i].get());
    brush_colours_.push_back(colour);
    return static_cast<HBRUSH>(brushes_.emplace_back(CreateSolidBrush(colour)).get());
  }

  // The first tab stop in tab order takes the focus, so that the keyboard works as soon as the
  // window appears.
  void FocusFirstTabStop() {
    int best = -1;
    for (size_t i = 0; i < Layout().control_count; ++i) {
      const ControlSpec& spec = Layout().controls[i];
      if ((spec.flags & kTabStop) &&
          (best < 0 || spec.tab_index < Layout().controls[best].tab_index))
        best = int(i);
    }
    if (best >= 0) SetFocus(controls_[best]);
  }

  const FormContent& form_;
  Scale scale_;
  HWND window_ = nullptr;
  IconHandle icon_;
  std::vector<HWND> controls_;
  // Holders never move once made (ScopedHandle neither copies nor moves): a deque keeps them in
  // place as it grows.
  std::deque<GdiObject> fonts_;
  std::deque<GdiObject> brushes_;
  std::vector<COLORREF> brush_colours_;
  std::unique_ptr<Picture> logo_;
};

}  // namespace

void Win32System::RunWindow(const FormContent& form) {
  FormWindow(form).Run();
}

}  // namespace movrix
