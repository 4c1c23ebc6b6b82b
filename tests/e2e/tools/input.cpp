// Keyboard input for the end-to-end tests. Global hot keys only see input that
// passes through the Windows input queue, which keys sent to the X server do not,
// so the tests type through SendInput from inside the prefix.
//
//   input.exe alt+c            a key combination: modifiers joined with '+'
//   input.exe escape enter     several steps, one after another
//   input.exe "text=C:\a b.png" typed text (any characters, sent as Unicode)
//   input.exe sleep=200        a pause in milliseconds
//   input.exe hold=alt+c sleep=60000
//                              registers the combination as this program's own hot key
//                              (exit code 3 when another program has it) and shows that
//                              it holds it by a hidden window titled "holding alt+c"
#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

namespace {

struct NamedKey {
  const wchar_t* name;
  WORD vk;
};

constexpr NamedKey kKeys[] = {
    {L"alt", VK_MENU},      {L"ctrl", VK_CONTROL}, {L"shift", VK_SHIFT},   {L"win", VK_LWIN},
    {L"escape", VK_ESCAPE}, {L"esc", VK_ESCAPE},   {L"enter", VK_RETURN},  {L"tab", VK_TAB},
    {L"space", VK_SPACE},   {L"up", VK_UP},        {L"down", VK_DOWN},     {L"left", VK_LEFT},
    {L"right", VK_RIGHT},   {L"home", VK_HOME},    {L"end", VK_END},       {L"back", VK_BACK},
    {L"delete", VK_DELETE}, {L"f1", VK_F1},        {L"f4", VK_F4},         {L"f10", VK_F10},
};

// Returns 0 for a name this helper does not know.
WORD virtualKey(const std::wstring& name) {
  for (const auto& key : kKeys)
    if (name == key.name) return key.vk;
  if (name.size() == 1) {
    wchar_t c = static_cast<wchar_t>(std::towupper(name[0]));
    if ((c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9')) return static_cast<WORD>(c);
  }
  return 0;
}

INPUT keyInput(WORD vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  if (vk == VK_UP || vk == VK_DOWN || vk == VK_LEFT || vk == VK_RIGHT || vk == VK_HOME || vk == VK_END ||
      vk == VK_DELETE)
    in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
  return in;
}

bool send(std::vector<INPUT>& inputs) {
  UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  return sent == inputs.size();
}

bool pressCombination(const std::wstring& combination) {
  std::vector<WORD> keys;
  size_t start = 0;
  while (start <= combination.size()) {
    size_t plus = combination.find(L'+', start);
    if (plus == std::wstring::npos) plus = combination.size();
    std::wstring part = combination.substr(start, plus - start);
    for (auto& c : part) c = static_cast<wchar_t>(std::towlower(c));
    WORD vk = virtualKey(part);
    if (vk == 0) {
      fwprintf(stderr, L"unknown key: %ls\n", part.c_str());
      return false;
    }
    keys.push_back(vk);
    start = plus + 1;
  }
  std::vector<INPUT> inputs;
  for (WORD vk : keys) inputs.push_back(keyInput(vk, false));
  for (auto it = keys.rbegin(); it != keys.rend(); ++it) inputs.push_back(keyInput(*it, true));
  return send(inputs);
}

// Another program's hot key, as a user's other tools hold Alt+C or Alt+F.
bool holdCombination(const std::wstring& combination) {
  UINT modifiers = 0;
  WORD key = 0;
  size_t start = 0;
  while (start <= combination.size()) {
    size_t plus = combination.find(L'+', start);
    if (plus == std::wstring::npos) plus = combination.size();
    std::wstring part = combination.substr(start, plus - start);
    for (auto& c : part) c = static_cast<wchar_t>(std::towlower(c));
    if (part == L"alt") modifiers |= MOD_ALT;
    else if (part == L"ctrl") modifiers |= MOD_CONTROL;
    else if (part == L"shift") modifiers |= MOD_SHIFT;
    else if (part == L"win") modifiers |= MOD_WIN;
    else key = virtualKey(part);
    start = plus + 1;
  }
  static int id = 0;
  if (key == 0 || !RegisterHotKey(nullptr, ++id, modifiers, key)) return false;
  std::wstring title = L"holding " + combination;
  CreateWindowExW(0, L"STATIC", title.c_str(), WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  return true;
}

// Waits with the window answering: another program reads its title by a message.
void pause(DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
}

bool typeText(const std::wstring& text) {
  std::vector<INPUT> inputs;
  for (wchar_t c : text) {
    for (bool up : {false, true}) {
      INPUT in{};
      in.type = INPUT_KEYBOARD;
      in.ki.wScan = c;
      in.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
      inputs.push_back(in);
    }
  }
  return inputs.empty() || send(inputs);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    fwprintf(stderr, L"usage: input.exe (combination | text=TEXT | sleep=MS)...\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) {
    std::wstring step = argv[i];
    bool ok = true;
    if (step.rfind(L"text=", 0) == 0) {
      ok = typeText(step.substr(5));
    } else if (step.rfind(L"hold=", 0) == 0) {
      if (!holdCombination(step.substr(5))) return 3;
    } else if (step.rfind(L"sleep=", 0) == 0) {
      pause(static_cast<DWORD>(_wtoi(step.c_str() + 6)));
    } else {
      ok = pressCombination(step);
    }
    if (!ok) return 1;
    // Let the receiving thread see each step before the next arrives.
    Sleep(50);
  }
  return 0;
}
