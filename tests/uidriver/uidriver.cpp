// uidriver: acts as the user for the GUI tests. Runs under Wine in the same
// prefix as the program under test, performs one command (or a ";"-separated
// chain of commands) against its windows and exits.
//
// Exit codes: 0 success, 1 check failed or timed out (one line on stderr),
// 2 bad usage. Text output goes to stdout byte-exact.

#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <algorithm>

namespace {

const char kUsage[] =
    "usage: uidriver <command> [args] [\";\" <command> [args]]...\n"
    "  wait <win>                     wait until visible; print HWND\n"
    "  wait-gone <win>                wait until no visible window has that title\n"
    "  exists <win>                   print visible|hidden; exit 1 if none\n"
    "  text <win> <id>                print control text (id 0: the window title)\n"
    "  state <win> <id>               print enabled|disabled visible|hidden\n"
    "  class <win> <id>               print the control's class name\n"
    "  click <win> <id>               post BM_CLICK; fails if disabled or hidden\n"
    "  key <win> escape|enter         post the key to the window\n"
    "  close <win>                    post SC_CLOSE\n"
    "  end-task <win>                 post WM_CLOSE, even to a window disabled under a box\n"
    "  msgbox <caption> <text> ok|cancel|yes|no|none\n"
    "  msgbox-icon <caption>          print error|information|warning|question|none\n"
    "  msgbox-buttons <caption>       print visible button ids, left to right\n"
    "  progress <win> <id>            print \"<low> <high> <pos>\"\n"
    "  scroll <win> <id> bottom|top|pagedown|pageup|linedown\n"
    "  firstline <win> <id>           print EM_GETFIRSTVISIBLELINE\n"
    "  line-ends <win> <id>           print the rightmost x of a line's last character and the client width\n"
    "  wait-enabled <win> <id>        wait until the control is enabled\n"
    "  wait-progress <win> <id> <n>   wait until the progress position is >= n\n"
    "  sleep <ms>\n"
    "  hold <path> <ms>               open the file sharing it with nobody; keep it <ms>\n"
    "  hold-written <path>|... <ms>   hold the first of the files that holds a diskette image and is free\n"
    "Waits poll every 20 ms; timeout UIDRIVER_TIMEOUT_MS (default 10000).\n";

const int kExitOk = 0;
const int kExitFail = 1;
const int kExitUsage = 2;
const DWORD kImageSize = 1474560;

DWORD g_timeoutMs = 10000;
std::string g_cmd;  // current command name, for messages

// A failed check: remember the message, the caller unwinds with kExitFail.
std::string g_failure;

bool fail(const std::string& msg) {
    g_failure = msg;
    return false;
}

// Makes control characters visible in diagnostics so CR LF and blanks can be told apart.
std::string quote(const std::string& s) {
    std::string r = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '\r': r += "\\r"; break;
        case '\n': r += "\\n"; break;
        case '\t': r += "\\t"; break;
        case '\\': r += "\\\\"; break;
        case '"': r += "\\\""; break;
        default:
            if (c < 0x20) {
                char b[8];
                snprintf(b, sizeof b, "\\x%02x", c);
                r += b;
            } else {
                r += static_cast<char>(c);
            }
        }
    }
    return r + "\"";
}

// Tests write 'a\r\nb'; real CR LF bytes from the shell pass through untouched.
std::string decodeEscapes(const std::string& s) {
    std::string r;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char n = s[i + 1];
            if (n == 'r') { r += '\r'; ++i; continue; }
            if (n == 'n') { r += '\n'; ++i; continue; }
            if (n == '\\') { r += '\\'; ++i; continue; }
        }
        r += s[i];
    }
    return r;
}

// Polls cond every 20 ms until it holds or the timeout passes; always tries once.
template <class F>
bool poll(F cond) {
    DWORD start = GetTickCount();
    for (;;) {
        if (cond()) return true;
        if (GetTickCount() - start >= g_timeoutMs) return false;
        Sleep(20);
    }
}

// Time allowed for one cross-process SendMessage; a hung target must not hang the test.
UINT sendTimeout() {
    return g_timeoutMs < 1000 ? 1000 : g_timeoutMs;
}

bool sendMsg(HWND h, UINT msg, WPARAM w, LPARAM l, DWORD_PTR* result) {
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutA(h, msg, w, l, SMTO_ABORTIFHUNG, sendTimeout(), &r)) return false;
    if (result) *result = r;
    return true;
}

std::string windowTitle(HWND h) {
    // GetWindowText reads the stored title of a foreign window without messaging it.
    int len = GetWindowTextLengthA(h);
    std::vector<char> buf(static_cast<size_t>(len) + 2);
    int got = GetWindowTextA(h, buf.data(), static_cast<int>(buf.size()));
    return std::string(buf.data(), got > 0 ? got : 0);
}

std::string className(HWND h) {
    char buf[256];
    int n = GetClassNameA(h, buf, sizeof buf);
    return std::string(buf, n > 0 ? n : 0);
}

// WM_GETTEXT rather than GetWindowText: the latter gives "" for a foreign RICHEDIT.
bool controlText(HWND h, std::string* out) {
    DWORD_PTR len = 0;
    if (!sendMsg(h, WM_GETTEXTLENGTH, 0, 0, &len)) return fail("WM_GETTEXTLENGTH got no answer");
    // The length may be an estimate (CR LF in rich edits); grow until the text fits.
    size_t cap = static_cast<size_t>(len) * 2 + 64;
    for (;;) {
        std::vector<char> buf(cap, 0);
        DWORD_PTR got = 0;
        if (!sendMsg(h, WM_GETTEXT, cap, reinterpret_cast<LPARAM>(buf.data()), &got))
            return fail("WM_GETTEXT got no answer");
        if (got + 1 < cap || cap >= (64u << 20)) {
            out->assign(buf.data(), std::min<size_t>(got, cap));
            return true;
        }
        cap *= 2;
    }
}

std::vector<HWND> g_enumResult;

BOOL CALLBACK collectTop(HWND h, LPARAM) {
    g_enumResult.push_back(h);
    return TRUE;
}

std::vector<HWND> windowsTitled(const std::string& title, const char* cls) {
    g_enumResult.clear();
    EnumWindows(collectTop, 0);
    std::vector<HWND> r;
    for (HWND h : g_enumResult) {
        if (windowTitle(h) != title) continue;
        if (cls && className(h) != cls) continue;
        r.push_back(h);
    }
    return r;
}

// Best visible match: enabled first. A dialog disabled under its own message
// box stays findable for queries; actions pass needEnabled.
HWND pickVisible(const std::vector<HWND>& all, bool needEnabled) {
    HWND disabled = nullptr;
    for (HWND h : all) {
        if (!IsWindowVisible(h)) continue;
        if (IsWindowEnabled(h)) return h;
        if (!disabled) disabled = h;
    }
    return needEnabled ? nullptr : disabled;
}

bool findWindow(const std::string& title, bool needEnabled, HWND* out) {
    HWND found = nullptr;
    std::vector<HWND> last;
    poll([&] {
        last = windowsTitled(title, nullptr);
        found = pickVisible(last, needEnabled);
        return found != nullptr;
    });
    if (found) {
        *out = found;
        return true;
    }
    std::string what;
    if (last.empty())
        what = "none with that title";
    else if (pickVisible(last, false))
        what = "the window is disabled";
    else
        what = "only hidden window(s) with that title";
    return fail("expected a visible" + std::string(needEnabled ? ", enabled" : "") + " window " +
                quote(title) + " within " + std::to_string(g_timeoutMs) + " ms, found " + what);
}

// Direct child by id, comparing the low word like dialog ids in templates
// (an IDC_STATIC label may store -1 as well as 0xFFFF).
HWND childById(HWND parent, int id) {
    if (id == 0) return parent;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if ((GetWindowLongPtrA(c, GWLP_ID) & 0xFFFF) == static_cast<LONG_PTR>(id)) return c;
    }
    return nullptr;
}

// Several windows may share a title (an application's message boxes often
// carry its dialog's caption), so take the first visible one, enabled first,
// that has the control.
bool findControl(const std::string& title, int id, bool needEnabledWindow, HWND* win, HWND* ctl) {
    std::vector<HWND> last;
    bool found = poll([&] {
        last = windowsTitled(title, nullptr);
        for (int pass = 0; pass < (needEnabledWindow ? 1 : 2); ++pass)
            for (HWND h : last) {
                bool enabled = IsWindowEnabled(h) != FALSE;
                if (!IsWindowVisible(h) || enabled != (pass == 0)) continue;
                if (HWND c = childById(h, id)) {
                    *win = h;
                    *ctl = c;
                    return true;
                }
            }
        return false;
    });
    if (found) return true;
    std::string what = "no control " + std::to_string(id) + " in it";
    if (last.empty()) {
        what = "no window with that title";
    } else if (!pickVisible(last, false)) {
        what = "only hidden window(s) with that title";
    } else if (needEnabledWindow) {
        for (HWND h : last)
            if (IsWindowVisible(h) && !IsWindowEnabled(h) && childById(h, id)) what = "the window is disabled";
    }
    return fail("expected control " + std::to_string(id) + " in a visible" +
                std::string(needEnabledWindow ? ", enabled" : "") + " window " + quote(title) + " within " +
                std::to_string(g_timeoutMs) + " ms, found " + what);
}

// --- message boxes ---------------------------------------------------------

const int kMsgText = 0xFFFF;
const int kMsgIcon = 1088;

// A message box is a "#32770" whose children are only the standard buttons and
// statics; this keeps an application dialog with the same caption (and an
// IDC_STATIC label) from being taken for one.
bool looksLikeMessageBox(HWND h) {
    bool hasText = false;
    for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        int id = static_cast<int>(GetWindowLongPtrA(c, GWLP_ID) & 0xFFFF);
        std::string cls = className(c);
        if (id == kMsgText && !_stricmp(cls.c_str(), "Static")) {
            hasText = true;
            continue;
        }
        if (id == kMsgIcon && !_stricmp(cls.c_str(), "Static")) continue;
        if (!_stricmp(cls.c_str(), "Button") && ((id >= IDOK && id <= IDNO) || id == 9 /*Help*/ ||
                                                  id == IDTRYAGAIN || id == IDCONTINUE))
            continue;
        return false;
    }
    return hasText;
}

HWND pickMessageBox(const std::string& caption) {
    std::vector<HWND> boxes;
    for (HWND h : windowsTitled(caption, "#32770"))
        if (looksLikeMessageBox(h)) boxes.push_back(h);
    return pickVisible(boxes, false);
}

bool findMessageBox(const std::string& caption, HWND* out) {
    HWND found = nullptr;
    poll([&] { return (found = pickMessageBox(caption)) != nullptr; });
    if (!found)
        return fail("expected a message box " + quote(caption) + " within " + std::to_string(g_timeoutMs) +
                    " ms, found none");
    *out = found;
    return true;
}

struct ButtonPos {
    int x;
    int id;
};

std::vector<int> visibleButtons(HWND box) {
    std::vector<ButtonPos> v;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (_stricmp(className(c).c_str(), "Button") || !IsWindowVisible(c)) continue;
        RECT r;
        GetWindowRect(c, &r);
        v.push_back({static_cast<int>(r.left), static_cast<int>(GetWindowLongPtrA(c, GWLP_ID) & 0xFFFF)});
    }
    std::sort(v.begin(), v.end(), [](const ButtonPos& a, const ButtonPos& b) {
        return a.x != b.x ? a.x < b.x : a.id < b.id;
    });
    std::vector<int> ids;
    for (const ButtonPos& b : v) ids.push_back(b.id);
    return ids;
}

std::string joinIds(const std::vector<int>& ids) {
    std::string s;
    for (size_t i = 0; i < ids.size(); ++i) s += (i ? " " : "") + std::to_string(ids[i]);
    return s;
}

// Icon handles are per process under Wine (STM_GETICON's handle never equals
// our own LoadIcon's), so the icon is recognised by its pixels: the opaque
// pixels of each stock icon are compared with the icon static on screen.
struct IconPixels {
    int w = 0, h = 0;
    std::vector<COLORREF> color;
    std::vector<bool> opaque;
};

bool iconPixels(HICON icon, IconPixels* out) {
    ICONINFO ii;
    if (!GetIconInfo(icon, &ii)) return false;
    BITMAP bm;
    GetObjectA(ii.hbmMask, sizeof bm, &bm);
    int w = bm.bmWidth;
    int h = ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(dc, bmp);
    out->w = w;
    out->h = h;
    out->color.assign(static_cast<size_t>(w) * h, 0);
    out->opaque.assign(static_cast<size_t>(w) * h, false);
    // Draw on black and on white: a pixel that stays the same is opaque.
    std::vector<COLORREF> onBlack(static_cast<size_t>(w) * h), onWhite(static_cast<size_t>(w) * h);
    RECT rc = {0, 0, w, h};
    for (int pass = 0; pass < 2; ++pass) {
        FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(pass ? WHITE_BRUSH : BLACK_BRUSH)));
        DrawIconEx(dc, 0, 0, icon, w, h, 0, nullptr, DI_NORMAL);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) (pass ? onWhite : onBlack)[y * w + x] = GetPixel(dc, x, y);
    }
    for (size_t i = 0; i < onBlack.size(); ++i) {
        out->opaque[i] = onBlack[i] == onWhite[i];
        out->color[i] = onBlack[i];
    }
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    DeleteObject(ii.hbmMask);
    if (ii.hbmColor) DeleteObject(ii.hbmColor);
    return true;
}

// Fraction of the icon's opaque pixels found unchanged in the captured area,
// trying every offset at which the icon fits.
double iconMatch(const IconPixels& icon, const std::vector<COLORREF>& shot, int sw, int sh) {
    double best = 0;
    int opaqueCount = 0;
    for (bool o : icon.opaque) opaqueCount += o;
    if (!opaqueCount) return 0;
    for (int oy = 0; oy + icon.h <= sh; ++oy)
        for (int ox = 0; ox + icon.w <= sw; ++ox) {
            int same = 0;
            for (int y = 0; y < icon.h; ++y)
                for (int x = 0; x < icon.w; ++x) {
                    size_t i = static_cast<size_t>(y) * icon.w + x;
                    if (icon.opaque[i] && icon.color[i] == shot[static_cast<size_t>(oy + y) * sw + ox + x]) ++same;
                }
            best = std::max(best, static_cast<double>(same) / opaqueCount);
        }
    return best;
}

bool messageBoxIcon(HWND box, std::string* kind) {
    HWND st = childById(box, kMsgIcon);
    if (!st || !IsWindowVisible(st)) {
        *kind = "none";
        return true;
    }
    DWORD_PTR handle = 0;
    if (!sendMsg(st, STM_GETICON, 0, 0, &handle)) return fail("STM_GETICON got no answer");
    if (!handle) {
        *kind = "none";
        return true;
    }
    struct Kind {
        LPCSTR res;
        const char* name;
        IconPixels px;
    };
    Kind kinds[] = {{IDI_HAND, "error", {}},
                    {IDI_ASTERISK, "information", {}},
                    {IDI_EXCLAMATION, "warning", {}},
                    {IDI_QUESTION, "question", {}}};
    for (Kind& k : kinds)
        if (!iconPixels(LoadIconA(nullptr, k.res), &k.px)) return fail("cannot read the stock icons");

    // A box that has just appeared may not be painted yet, so look again until it matches.
    std::string scores;
    const char* bestName = nullptr;
    poll([&] {
        RECT r;
        GetWindowRect(st, &r);
        int sw = r.right - r.left, sh = r.bottom - r.top;
        if (sw <= 0 || sh <= 0) return false;
        // The box is the active window, so nothing covers it on screen.
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bmp = CreateCompatibleBitmap(screen, sw, sh);
        HGDIOBJ old = SelectObject(dc, bmp);
        BitBlt(dc, 0, 0, sw, sh, screen, r.left, r.top, SRCCOPY);
        std::vector<COLORREF> shot(static_cast<size_t>(sw) * sh);
        for (int y = 0; y < sh; ++y)
            for (int x = 0; x < sw; ++x) shot[static_cast<size_t>(y) * sw + x] = GetPixel(dc, x, y);
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);

        // Info and question share the blue disc (about 80% alike); all opaque pixels must match.
        double best = 0;
        bestName = nullptr;
        scores.clear();
        for (const Kind& k : kinds) {
            double m = iconMatch(k.px, shot, sw, sh);
            scores += std::string(scores.empty() ? "" : ", ") + k.name + " " +
                      std::to_string(static_cast<int>(m * 100)) + "%";
            if (m > best) {
                best = m;
                if (m >= 0.95) bestName = k.name;
            }
        }
        return bestName != nullptr;
    });
    if (!bestName)
        return fail("expected a stock icon in the message box, found no match on screen (" + scores + ")");
    *kind = bestName;
    return true;
}

// --- commands --------------------------------------------------------------

struct Command {
    std::vector<std::string> args;  // args[0] is the command name
};

bool parseInt(const std::string& s, long lo, long hi, long* out) {
    if (s.empty() || s.size() > 10) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    long v = std::strtol(s.c_str(), nullptr, 10);
    if (v < lo || v > hi) return false;
    *out = v;
    return true;
}

struct CommandShape {
    const char* name;
    int argc;  // arguments after the name
};

const CommandShape kCommandShapes[] = {
    {"wait", 1},        {"wait-gone", 1},      {"exists", 1},         {"text", 2},       {"state", 2},
    {"class", 2},       {"click", 2},          {"key", 2},            {"close", 1},      {"end-task", 1},  {"msgbox", 3},
    {"msgbox-icon", 1}, {"msgbox-buttons", 1}, {"progress", 2},       {"scroll", 3},     {"firstline", 2},
    {"wait-enabled", 2}, {"wait-progress", 3}, {"sleep", 1},  {"hold", 2},  {"hold-written", 2},
    {"line-ends", 2},   {"refuse-prompts", 2},
};

// Checks names, counts and numeric arguments before anything runs, so a typo
// in a chain does not leave the program half driven.
bool validate(const Command& c, std::string* err) {
    const std::string& n = c.args[0];
    const CommandShape* shape = nullptr;
    for (const CommandShape& s : kCommandShapes)
        if (n == s.name) shape = &s;
    if (!shape) {
        *err = "unknown command " + quote(n);
        return false;
    }
    if (static_cast<int>(c.args.size()) - 1 != shape->argc) {
        *err = n + " takes " + std::to_string(shape->argc) + " argument(s)";
        return false;
    }
    long v;
    bool hasId = n == "text" || n == "state" || n == "class" || n == "click" || n == "progress" ||
                 n == "scroll" || n == "firstline" || n == "wait-enabled" || n == "wait-progress" ||
                 n == "line-ends";
    if (hasId) {
        // 0 names the window itself, which only makes sense for queries on it.
        long lo = (n == "text" || n == "state" || n == "class") ? 0 : 1;
        if (!parseInt(c.args[2], lo, 65535, &v)) {
            *err = n + ": bad control id " + quote(c.args[2]);
            return false;
        }
    }
    if (n == "key" && c.args[2] != "escape" && c.args[2] != "enter") {
        *err = "key: expected escape or enter, got " + quote(c.args[2]);
        return false;
    }
    if (n == "scroll" && c.args[3] != "bottom" && c.args[3] != "top" && c.args[3] != "pagedown" &&
        c.args[3] != "pageup" && c.args[3] != "linedown") {
        *err = "scroll: expected bottom, top, pagedown, pageup or linedown, got " + quote(c.args[3]);
        return false;
    }
    if (n == "msgbox") {
        const std::string& b = c.args[3];
        if (b != "ok" && b != "cancel" && b != "yes" && b != "no" && b != "none") {
            *err = "msgbox: expected ok, cancel, yes, no or none, got " + quote(b);
            return false;
        }
    }
    if (n == "wait-progress" && !parseInt(c.args[3], 0, 0x7FFFFFFF, &v)) {
        *err = "wait-progress: bad position " + quote(c.args[3]);
        return false;
    }
    if ((n == "hold" || n == "hold-written") && !parseInt(c.args[2], 0, 0x7FFFFFFF, &v)) {
        *err = "hold: bad milliseconds " + quote(c.args[2]);
        return false;
    }
    if (n == "refuse-prompts" && !parseInt(c.args[2], 0, 0x7FFFFFFF, &v)) {
        *err = "refuse-prompts: bad milliseconds " + quote(c.args[2]);
        return false;
    }
    if (n == "sleep" && !parseInt(c.args[1], 0, 0x7FFFFFFF, &v)) {
        *err = "sleep: bad milliseconds " + quote(c.args[1]);
        return false;
    }
    return true;
}

bool progressValues(HWND ctl, int* lo, int* hi, int* pos) {
    DWORD_PTR a, b, p;
    // Values only: a PBRANGE pointer cannot cross processes.
    if (!sendMsg(ctl, PBM_GETRANGE, TRUE, 0, &a) || !sendMsg(ctl, PBM_GETRANGE, FALSE, 0, &b) ||
        !sendMsg(ctl, PBM_GETPOS, 0, 0, &p))
        return fail("progress bar gave no answer");
    *lo = static_cast<int>(a);
    *hi = static_cast<int>(b);
    *pos = static_cast<int>(p);
    return true;
}

// Tells the test that what it waits for is in place, then keeps it that long.
void announceAndKeep(const char* word, const std::string& milliseconds) {
    std::printf("%s\n", word);
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(std::strtol(milliseconds.c_str(), nullptr, 10)));
}

bool run(const Command& c, std::string* out, bool* hasOut) {
    const std::vector<std::string>& a = c.args;
    const std::string& n = a[0];
    g_cmd = n;
    *hasOut = false;
    HWND win = nullptr, ctl = nullptr;
    int id = 0;
    if (a.size() > 2) id = std::atoi(a[2].c_str());

    if (n == "sleep") {
        Sleep(static_cast<DWORD>(std::strtol(a[1].c_str(), nullptr, 10)));
        return true;
    }
    if (n == "hold" || n == "hold-written") {
        // Another program that has the file open and shares it with nobody.
        auto open = [](const std::string& path) {
            return CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        };
        HANDLE file = INVALID_HANDLE_VALUE;
        if (n == "hold")
            file = open(a[1]);
        else
            // A scanner that opens a new diskette image as soon as its writer
            // has closed it.
            poll([&] {
                for (size_t from = 0, to; file == INVALID_HANDLE_VALUE && from <= a[1].size(); from = to + 1) {
                    to = std::min(a[1].find('|', from), a[1].size());
                    WIN32_FILE_ATTRIBUTE_DATA data;
                    const std::string path = a[1].substr(from, to - from);
                    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
                        data.nFileSizeLow == kImageSize)
                        file = open(path);
                }
                return file != INVALID_HANDLE_VALUE;
            });
        if (file == INVALID_HANDLE_VALUE)
            return fail("cannot open " + quote(a[1]) + ", error " + std::to_string(GetLastError()));
        announceAndKeep("held", a[2]);
        CloseHandle(file);
        return true;
    }
    if (n == "refuse-prompts") {
        // A hook of the whole desktop, called inside each program from the DLL.
        HMODULE dll = LoadLibraryA(a[1].c_str());
        auto hookProc = dll ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(dll, "RefusePrompts"))) : nullptr;
        HHOOK hook = hookProc ? SetWindowsHookExA(WH_CBT, hookProc, dll, 0) : nullptr;
        if (!hook)
            return fail("cannot hook " + quote(a[1]) + ", error " + std::to_string(GetLastError()));
        announceAndKeep("hooked", a[2]);
        UnhookWindowsHookEx(hook);
        return true;
    }
    if (n == "wait") {
        if (!findWindow(a[1], false, &win)) return false;
        char b[32];
        snprintf(b, sizeof b, "0x%08lX", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(win)));
        *out = b;
        *hasOut = true;
        return true;
    }
    if (n == "wait-gone") {
        std::vector<HWND> left;
        if (poll([&] {
                left = windowsTitled(a[1], nullptr);
                return pickVisible(left, false) == nullptr;
            }))
            return true;
        return fail("expected no visible window " + quote(a[1]) + " within " + std::to_string(g_timeoutMs) +
                    " ms, found one still visible");
    }
    if (n == "exists") {
        std::vector<HWND> all = windowsTitled(a[1], nullptr);
        if (all.empty()) return fail("expected a window " + quote(a[1]) + ", found none");
        *out = pickVisible(all, false) ? "visible" : "hidden";
        *hasOut = true;
        return true;
    }
    if (n == "text") {
        if (!findControl(a[1], id, false, &win, &ctl)) return false;
        if (!controlText(ctl, out)) return false;
        *hasOut = true;
        return true;
    }
    if (n == "state") {
        if (!findControl(a[1], id, false, &win, &ctl)) return false;
        *out = std::string(IsWindowEnabled(ctl) ? "enabled" : "disabled") + (IsWindowVisible(ctl) ? " visible" : " hidden");
        *hasOut = true;
        return true;
    }
    if (n == "class") {
        if (!findControl(a[1], id, false, &win, &ctl)) return false;
        *out = className(ctl);
        *hasOut = true;
        return true;
    }
    if (n == "click") {
        // A user cannot click into a window disabled under a modal box.
        if (!findControl(a[1], id, true, &win, &ctl)) return false;
        std::string cls = className(ctl);
        if (_stricmp(cls.c_str(), "Button"))
            return fail("expected a button as control " + std::to_string(id) + ", found class " + quote(cls));
        // BM_CLICK on a disabled button still sends WM_COMMAND under Wine, so refuse here.
        if (!IsWindowVisible(ctl)) return fail("expected button " + std::to_string(id) + " visible, found it hidden");
        if (!IsWindowEnabled(ctl)) return fail("expected button " + std::to_string(id) + " enabled, found it disabled");
        // Posted, so a handler that opens a modal box does not block us.
        if (!PostMessageA(ctl, BM_CLICK, 0, 0)) return fail("PostMessage(BM_CLICK) failed");
        return true;
    }
    if (n == "key") {
        if (!findWindow(a[1], true, &win)) return false;
        UINT vk = a[2] == "escape" ? VK_ESCAPE : VK_RETURN;
        LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(vk, 0)) << 16;
        if (!PostMessageA(win, WM_KEYDOWN, vk, scan | 1))
            return fail("PostMessage(WM_KEYDOWN) failed");
        // The key down may end the window before the key up can follow it.
        if (!PostMessageA(win, WM_KEYUP, vk, scan | 1 | (static_cast<LPARAM>(3) << 30)) && IsWindow(win))
            return fail("PostMessage(WM_KEYUP) failed");
        return true;
    }
    if (n == "close") {
        if (!findWindow(a[1], true, &win)) return false;
        if (!PostMessageA(win, WM_SYSCOMMAND, SC_CLOSE, 0)) return fail("PostMessage(SC_CLOSE) failed");
        return true;
    }
    if (n == "end-task") {
        // As Task Manager or the taskbar's Close window: no wait for the window to be enabled.
        if (!findWindow(a[1], false, &win)) return false;
        if (!PostMessageA(win, WM_CLOSE, 0, 0)) return fail("PostMessage(WM_CLOSE) failed");
        return true;
    }
    if (n == "msgbox") {
        std::string want = decodeEscapes(a[2]);
        HWND box = nullptr;
        std::string got;
        bool textKnown = false;
        // Poll for the box and for its text together: a box can still be filling in.
        bool ok = poll([&] {
            box = pickMessageBox(a[1]);
            if (!box) return false;
            HWND st = childById(box, kMsgText);
            textKnown = st && controlText(st, &got);
            return true;
        });
        if (!ok)
            return fail("expected a message box " + quote(a[1]) + " saying " + quote(want) + " within " +
                        std::to_string(g_timeoutMs) + " ms, found none");
        if (!textKnown) return false;
        if (got != want)
            return fail("expected message box " + quote(a[1]) + " saying " + quote(want) + ", found " + quote(got));
        if (a[3] == "none") return true;
        int bid = a[3] == "ok" ? IDOK : a[3] == "cancel" ? IDCANCEL : a[3] == "yes" ? IDYES : IDNO;
        HWND b = childById(box, bid);
        if (!b || !IsWindowVisible(b) || !IsWindowEnabled(b))
            return fail("expected button " + a[3] + " (" + std::to_string(bid) + ") in message box " + quote(a[1]) +
                        ", found buttons " + quote(joinIds(visibleButtons(box))));
        if (!PostMessageA(b, BM_CLICK, 0, 0)) return fail("PostMessage(BM_CLICK) failed");
        // Wait for this box to go, so a following command cannot see it again.
        if (!poll([&] { return !IsWindow(box) || !IsWindowVisible(box); }))
            return fail("expected message box " + quote(a[1]) + " to close after " + a[3] + ", found it still open");
        return true;
    }
    if (n == "msgbox-icon") {
        HWND box;
        if (!findMessageBox(a[1], &box) || !messageBoxIcon(box, out)) return false;
        *hasOut = true;
        return true;
    }
    if (n == "msgbox-buttons") {
        HWND box;
        if (!findMessageBox(a[1], &box)) return false;
        *out = joinIds(visibleButtons(box));
        *hasOut = true;
        return true;
    }
    if (n == "progress") {
        if (!findControl(a[1], id, false, &win, &ctl)) return false;
        int lo, hi, pos;
        if (!progressValues(ctl, &lo, &hi, &pos)) return false;
        *out = std::to_string(lo) + " " + std::to_string(hi) + " " + std::to_string(pos);
        *hasOut = true;
        return true;
    }
    if (n == "scroll") {
        if (!findControl(a[1], id, false, &win, &ctl)) return false;
        WPARAM code = a[3] == "bottom"     ? SB_BOTTOM
                      : a[3] == "top"      ? SB_TOP
                      : a[3] == "linedown" ? SB_LINEDOWN
                      : a[3] == "pageup"   ? SB_PAGEUP
                                           : SB_PAGEDOWN;
        // Sent, not posted: a following firstline query sees the result.
        if (!sendMsg(ctl, WM_VSCROLL, MAKEWPARAM(code, 0), 0, nullptr)) return fail("WM_VSCROLL got no answer");
        return true;
    }
    if (n == "firstline") {
        if (!findControl(a[1], id, false, &win, &ctl)) return false;
        DWORD_PTR line = 0;
        if (!sendMsg(ctl, EM_GETFIRSTVISIBLELINE, 0, 0, &line)) return fail("EM_GETFIRSTVISIBLELINE got no answer");
        *out = std::to_string(static_cast<long>(line));
        *hasOut = true;
        return true;
    }
    if (n == "line-ends") {
        // A line laid out wider than the editor runs past its right edge,
        // where nobody can read it: its last character starts beyond the
        // client width. EM_POSFROMCHAR with the index in wParam answers with
        // the position itself, so no pointer crosses the processes.
        if (!findControl(a[1], id, false, &win, &ctl)) return false;
        DWORD_PTR lines = 0;
        if (!sendMsg(ctl, EM_GETLINECOUNT, 0, 0, &lines)) return fail("EM_GETLINECOUNT got no answer");
        long rightmost = -1;
        for (DWORD_PTR line = 0; line < lines; ++line) {
            DWORD_PTR first = 0, length = 0, pos = 0;
            if (!sendMsg(ctl, EM_LINEINDEX, line, 0, &first) || !sendMsg(ctl, EM_LINELENGTH, first, 0, &length))
                return fail("EM_LINEINDEX or EM_LINELENGTH got no answer");
            if (length == 0) continue;
            if (!sendMsg(ctl, EM_POSFROMCHAR, first + length - 1, 0, &pos)) return fail("EM_POSFROMCHAR got no answer");
            rightmost = std::max(rightmost, static_cast<long>(static_cast<short>(LOWORD(pos))));
        }
        RECT client;
        GetClientRect(ctl, &client);
        *out = std::to_string(rightmost) + " " + std::to_string(client.right - client.left);
        *hasOut = true;
        return true;
    }
    if (n == "wait-enabled") {
        if (!findControl(a[1], id, false, &win, &ctl)) return false;
        if (poll([&] { return IsWindowEnabled(ctl) != FALSE; })) return true;
        return fail("expected control " + std::to_string(id) + " enabled within " + std::to_string(g_timeoutMs) +
                    " ms, found it " + (IsWindow(ctl) ? "disabled" : "destroyed"));
    }
    if (n == "wait-progress") {
        if (!findControl(a[1], id, false, &win, &ctl)) return false;
        long want = std::strtol(a[3].c_str(), nullptr, 10);
        int lo = 0, hi = 0, pos = 0;
        bool answered = true;
        if (poll([&] {
                answered = progressValues(ctl, &lo, &hi, &pos);
                return !answered || pos >= want;
            }) && answered)
            return true;
        if (!answered) return false;
        return fail("expected progress " + std::to_string(id) + " at >= " + std::to_string(want) + " within " +
                    std::to_string(g_timeoutMs) + " ms, found " + std::to_string(pos));
    }
    return fail("unhandled command");
}

}  // namespace

int main(int argc, char** argv) {
    // Byte-exact output: no LF to CR LF translation.
    _setmode(_fileno(stdout), _O_BINARY);

    if (const char* t = std::getenv("UIDRIVER_TIMEOUT_MS")) {
        long v;
        if (!parseInt(t, 0, 0x7FFFFFFF, &v)) {
            fprintf(stderr, "uidriver: bad UIDRIVER_TIMEOUT_MS %s\n", quote(t).c_str());
            return kExitUsage;
        }
        g_timeoutMs = static_cast<DWORD>(v);
    }

    if (argc < 2) {
        fputs(kUsage, stderr);
        return kExitUsage;
    }

    std::vector<Command> cmds(1);
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], ";"))
            cmds.emplace_back();
        else
            cmds.back().args.push_back(argv[i]);
    }
    for (const Command& c : cmds) {
        std::string err = "missing command";
        if (c.args.empty() || !validate(c, &err)) {
            fprintf(stderr, "uidriver: %s\n", err.c_str());
            return kExitUsage;
        }
    }

    bool chain = cmds.size() > 1;
    for (const Command& c : cmds) {
        std::string out;
        bool hasOut = false;
        if (!run(c, &out, &hasOut)) {
            fprintf(stderr, "uidriver: %s: %s\n", g_cmd.c_str(), g_failure.c_str());
            return kExitFail;
        }
        if (hasOut) {
            if (chain) out += '\n';
            fwrite(out.data(), 1, out.size(), stdout);
            fflush(stdout);
        }
    }
    return kExitOk;
}
