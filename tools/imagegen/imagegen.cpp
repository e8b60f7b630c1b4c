// Draws the program's GUI images anew from simple descriptions (flat fills,
// frames, arrows and icons from shapes, digits) and writes them as PNG files
// named by resource id, with a MANIFEST of id, size and what each shows.
// Transparent areas are exact magenta (255, 0, 255); no other colour may
// turn into that key when reduced to 5-6-5 bits.
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "plat/screen.h"
#include "plat/windows.h"

namespace fs = std::filesystem;

namespace {

constexpr COLORREF kKey = RGB(255, 0, 255);
constexpr COLORREF kInk = RGB(32, 32, 40);
constexpr COLORREF kPaper = RGB(240, 240, 236);
constexpr COLORREF kBlue = RGB(24, 96, 176);
constexpr COLORREF kDark = RGB(48, 56, 64);
constexpr COLORREF kGrey = RGB(176, 184, 192);
constexpr COLORREF kDisabled = RGB(208, 208, 208);

// The flat 6 x 6 fill at the centre of a state image, one colour per image,
// exact in 5-6-5 so a probe of the screen finds it again.
COLORREF ProbeColour(unsigned id)
{
    return RGB(((id * 37) % 29 + 1) * 8, ((id * 53) % 61 + 2) * 4, ((id * 17) % 29 + 1) * 8);
}

std::string ProbeWhat(unsigned id)
{
    char text[32];
    const COLORREF c = ProbeColour(id);
    std::snprintf(text, sizeof text, ", centre %u,%u,%u", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

// A 32-bit drawing surface for one image.
class Canvas {
public:
    Canvas(int w, int h) : w_(w), h_(h)
    {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
        dc_ = CreateCompatibleDC(nullptr);
        old_ = SelectObject(dc_, bitmap_);
        Fill(RECT{0, 0, w, h}, kKey);
    }
    ~Canvas()
    {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    HDC dc() const { return dc_; }
    int w() const { return w_; }
    int h() const { return h_; }

    void Fill(RECT r, COLORREF c)
    {
        HBRUSH b = CreateSolidBrush(c);
        FillRect(dc_, &r, b);
        DeleteObject(b);
    }
    void Frame(RECT r, int width, COLORREF c)
    {
        Fill(RECT{r.left, r.top, r.right, r.top + width}, c);
        Fill(RECT{r.left, r.bottom - width, r.right, r.bottom}, c);
        Fill(RECT{r.left, r.top, r.left + width, r.bottom}, c);
        Fill(RECT{r.right - width, r.top, r.right, r.bottom}, c);
    }
    // A panel with its corners cut, so the key shows there.
    void Panel(RECT r, COLORREF face, COLORREF border)
    {
        Fill(RECT{r.left + 2, r.top, r.right - 2, r.bottom}, face);
        Fill(RECT{r.left, r.top + 2, r.right, r.bottom - 2}, face);
        Frame(RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, 1, border);
    }
    void Disc(int cx, int cy, int radius, COLORREF c)
    {
        for (int y = -radius; y <= radius; ++y)
            for (int x = -radius; x <= radius; ++x)
                if (x * x + y * y <= radius * radius)
                    SetPixel(dc_, cx + x, cy + y, c);
    }
    void Ring(int cx, int cy, int radius, int width, COLORREF c)
    {
        for (int y = -radius; y <= radius; ++y)
            for (int x = -radius; x <= radius; ++x) {
                int d = x * x + y * y;
                if (d <= radius * radius && d > (radius - width) * (radius - width))
                    SetPixel(dc_, cx + x, cy + y, c);
            }
    }
    // A filled triangle pointing left (dir -1) or right (1), up (-2) or down (2).
    void Arrow(int cx, int cy, int size, int dir, COLORREF c)
    {
        for (int i = 0; i <= size; ++i) {
            int half = i * size / (2 * size) + i / 2;
            for (int j = -half; j <= half; ++j) {
                int along = (dir > 0 ? i - size / 2 : size / 2 - i);
                if (dir == 1 || dir == -1)
                    SetPixel(dc_, cx + along, cy + j, c);
                else
                    SetPixel(dc_, cx + j, cy + (dir == 2 ? i - size / 2 : size / 2 - i), c);
            }
        }
    }
    void Text(const wchar_t* text, RECT r, int height, COLORREF c)
    {
        LOGFONTW lf{};
        lf.lfHeight = height;
        lf.lfWeight = FW_BOLD;
        std::wcscpy(lf.lfFaceName, L"Tahoma");
        HFONT font = CreateFontIndirectW(&lf);
        HGDIOBJ old = SelectObject(dc_, font);
        SetBkMode(dc_, TRANSPARENT);
        SetTextColor(dc_, c);
        DrawTextW(dc_, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc_, old);
        DeleteObject(font);
    }

    // The probe square at the centre.
    void Probe(unsigned id) { Fill(RECT{w_ / 2 - 3, h_ / 2 - 3, w_ / 2 + 3, h_ / 2 + 3}, ProbeColour(id)); }

    plat::ScreenImage Image() const
    {
        plat::ScreenImage image{w_, h_, {}};
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x)
                image.pixels.push_back(GetPixel(dc_, x, y));
        return image;
    }

private:
    int w_, h_;
    HBITMAP bitmap_;
    HDC dc_;
    HGDIOBJ old_;
};

// The icons of the touch bars, one shape each.
void Icon(Canvas& c, int kind, COLORREF ink)
{
    int cx = c.w() / 2, cy = c.h() / 2;
    switch (kind) {
    case 0:  // camera
        c.Fill(RECT{cx - 14, cy - 8, cx + 14, cy + 10}, ink);
        c.Fill(RECT{cx - 5, cy - 12, cx + 5, cy - 8}, ink);
        c.Ring(cx, cy + 1, 6, 2, kPaper);
        break;
    case 1:  // gallery: a picture with a hill
        c.Frame(RECT{cx - 14, cy - 10, cx + 14, cy + 10}, 2, ink);
        c.Arrow(cx - 3, cy + 3, 10, -2, ink);
        c.Disc(cx + 7, cy - 4, 2, ink);
        break;
    case 2:  // settings: a wheel
        c.Ring(cx, cy, 11, 4, ink);
        c.Disc(cx, cy, 3, ink);
        break;
    case 3:  // back
        c.Arrow(cx, cy, 16, -1, ink);
        break;
    case 4:  // forward
        c.Arrow(cx, cy, 16, 1, ink);
        break;
    case 5:  // document: a page with lines
        c.Fill(RECT{cx - 9, cy - 12, cx + 9, cy + 12}, ink);
        for (int i = 0; i < 4; ++i)
            c.Fill(RECT{cx - 6, cy - 8 + 5 * i, cx + 6, cy - 6 + 5 * i}, kPaper);
        break;
    case 6:  // card: a wide rectangle with a name line
        c.Frame(RECT{cx - 15, cy - 9, cx + 15, cy + 9}, 2, ink);
        c.Fill(RECT{cx - 10, cy - 4, cx + 4, cy - 1}, ink);
        c.Fill(RECT{cx - 10, cy + 2, cx + 10, cy + 4}, ink);
        break;
    case 8:  // a series: three cards stacked
        for (int i = 2; i >= 0; --i) {
            c.Fill(RECT{cx - 12 + 4 * i, cy - 10 + 4 * i, cx + 8 + 4 * i, cy + 4 + 4 * i}, ink);
            c.Fill(RECT{cx - 10 + 4 * i, cy - 8 + 4 * i, cx + 6 + 4 * i, cy + 2 + 4 * i}, kPaper);
        }
        break;
    case 9:  // delete: a cross
        for (int i = -10; i <= 10; ++i) {
            c.Fill(RECT{cx + i - 2, cy + i - 2, cx + i + 2, cy + i + 2}, ink);
            c.Fill(RECT{cx + i - 2, cy - i - 2, cx + i + 2, cy - i + 2}, ink);
        }
        break;
    default:  // video
        c.Fill(RECT{cx - 14, cy - 8, cx + 4, cy + 8}, ink);
        c.Arrow(cx + 9, cy, 10, -1, ink);
        break;
    }
}

struct Description {
    unsigned id;
    int w, h;
    std::string what;
    std::function<void(Canvas&)> draw;
};

void PeripheryDescriptions(std::vector<Description>& d);
void GalleryDescriptions(std::vector<Description>& d);
void SettingMenuDescriptions(std::vector<Description>& d);
void PanoramaDescriptions(std::vector<Description>& d);

std::vector<Description> Descriptions()
{
    std::vector<Description> d;
    // The single-shot touch bar: seven looks (leave, card, document, single,
    // series, gallery, settings), each normal, finger off and pressed.
    const int lookIcons[7] = {3, 6, 5, 0, 8, 1, 2};
    const char* lookWhat[7] = {"leave", "card", "document", "single", "series", "gallery", "settings"};
    const char* stateWhat[3] = {"normal", "finger off", "pressed"};
    for (unsigned look = 0; look < 7; ++look)
        for (unsigned state = 0; state < 3; ++state) {
            const unsigned id = 10000 + look * 3 + state;
            const bool pressed = state == 2;
            const int w = pressed ? 66 : 52, h = pressed ? 68 : 48;
            d.push_back({id, w, h,
                         std::string("single-shot bar: ") + lookWhat[look] + ", " + stateWhat[state] + ProbeWhat(id),
                         [=](Canvas& c) {
                             c.Panel(RECT{1, 1, w - 1, h - 1}, state == 0 ? kPaper : state == 1 ? kGrey : kBlue, kDark);
                             Icon(c, lookIcons[look], state == 2 ? kPaper : kInk);
                             c.Probe(id);
                         }});
        }
    // Focus marks: none, focusing, focused, failed.
    const COLORREF focus[] = {RGB(255, 255, 255), RGB(255, 208, 0), RGB(0, 200, 64), RGB(224, 32, 32)};
    const char* focusWhat[] = {"none", "focusing", "focused", "failed"};
    for (unsigned i = 0; i < 4; ++i)
        d.push_back({10021 + i, 51, 35, std::string("focus brackets, ") + focusWhat[i] + ProbeWhat(10021 + i),
                     [c0 = focus[i], id = 10021 + i](Canvas& c) {
                         const int L = 10, T = 3;
                         c.Fill(RECT{0, 0, L, T}, c0), c.Fill(RECT{0, 0, T, L}, c0);
                         c.Fill(RECT{51 - L, 0, 51, T}, c0), c.Fill(RECT{51 - T, 0, 51, L}, c0);
                         c.Fill(RECT{0, 35 - T, L, 35}, c0), c.Fill(RECT{0, 35 - L, T, 35}, c0);
                         c.Fill(RECT{51 - L, 35 - T, 51, 35}, c0), c.Fill(RECT{51 - T, 35 - L, 51, 35}, c0);
                         c.Probe(id);
                     }});
    // The series bar: leave; single/series; recognise the set; delete the
    // last picture. Button 1 has no disabled look.
    struct SeriesImage {
        unsigned id;
        int button, state;  // state: 0 normal, 1 finger off, 2 disabled, 3 pressed
    };
    const SeriesImage series[] = {{10100, 1, 0}, {10101, 1, 1}, {10103, 1, 3}, {10104, 2, 0}, {10105, 2, 1},
                                  {10106, 2, 2}, {10108, 2, 3}, {10109, 3, 0}, {10110, 3, 1}, {10111, 3, 2},
                                  {10113, 3, 3}, {10114, 4, 0}, {10124, 4, 1}, {10116, 4, 2}, {10117, 4, 3}};
    const int seriesIcons[5] = {0, 3, 8, 4, 9};
    const char* seriesWhat[4] = {"normal", "finger off", "disabled", "pressed"};
    for (const SeriesImage& s : series) {
        const bool pressed = s.state == 3;
        const int w = pressed ? 66 : 52, h = pressed ? 82 : 60;
        d.push_back({s.id, w, h,
                     "series bar: button " + std::to_string(s.button) + ", " + seriesWhat[s.state] + ProbeWhat(s.id),
                     [=](Canvas& c) {
                         const COLORREF face = s.state == 0 ? kPaper : s.state == 1 ? kGrey : s.state == 2 ? kDisabled : kBlue;
                         c.Panel(RECT{1, 1, w - 1, h - 1}, face, kDark);
                         Icon(c, seriesIcons[s.button], pressed ? kPaper : s.state == 2 ? kGrey : kInk);
                         c.Probe(s.id);
                     }});
    }
    // The single-picture screen's own buttons, normal and pressed.
    for (unsigned id = 10118; id <= 10123; ++id) {
        const bool pressed = (id - 10118) % 2 == 1;
        d.push_back({id, 52, 60, "single-picture button " + std::to_string((id - 10118) / 2 + 1) +
                                     (pressed ? ", pressed" : ", normal") + ProbeWhat(id),
                     [=](Canvas& c) {
                         c.Panel(RECT{1, 1, 51, 59}, pressed ? kBlue : kPaper, kDark);
                         Icon(c, static_cast<int>((id - 10118) / 2) + 3, pressed ? kPaper : kInk);
                         c.Probe(id);
                     }});
    }
    // The recognition progress: panel, bar background, one fill column, cancel
    // button normal and pressed (the gallery's indicator shares the last three).
    d.push_back({10200, 219, 151, "recognition progress panel", [](Canvas& c) {
                     c.Panel(RECT{0, 0, 219, 151}, kPaper, kDark);
                     c.Fill(RECT{2, 2, 217, 30}, kBlue);
                 }});
    d.push_back({10201, 197, 9, "recognition progress bar background", [](Canvas& c) {
                     c.Fill(RECT{0, 0, 197, 9}, RGB(200, 200, 200));
                     c.Frame(RECT{0, 0, 197, 9}, 1, kDark);
                 }});
    d.push_back({10202, 1, 7, "recognition progress bar fill column", [](Canvas& c) { c.Fill(RECT{0, 0, 1, 7}, RGB(0, 160, 64)); }});
    d.push_back({10203, 204, 31, "recognition cancel button, normal", [](Canvas& c) { c.Panel(RECT{0, 0, 204, 31}, kPaper, kDark); }});
    d.push_back({10204, 204, 31, "recognition cancel button, pressed", [](Canvas& c) { c.Panel(RECT{0, 0, 204, 31}, kBlue, kDark); }});
    // Popups: frames, icon, buttons, indicator and notice.
    auto frame = [](int w, int h) {
        return [w, h](Canvas& c) {
            c.Panel(RECT{0, 0, w, h}, kPaper, kDark);
            c.Fill(RECT{2, 2, w - 2, 26}, kBlue);
        };
    };
    d.push_back({10300, 240, 140, "popup frame with a blue title band", frame(240, 140)});
    d.push_back({1657, 280, 150, "result popup frame with a blue title band", frame(280, 150)});
    // The camera preview's popup: frame, buttons (left, centre, right; normal
    // and pressed) and the icons of popup kinds 1 to 3 (call, message, alarm).
    d.push_back({10301, 220, 151, "camera popup frame", [](Canvas& c) {
                     c.Panel(RECT{0, 0, 220, 151}, kPaper, kDark);
                     c.Fill(RECT{2, 2, 218, 32}, RGB(216, 228, 240));
                 }});
    const struct {
        unsigned id;
        int w;
        const char* what;
    } popupButtons[] = {{10302, 102, "left"}, {10304, 204, "centre"}, {10306, 102, "right"}};
    for (const auto& b : popupButtons)
        for (unsigned pressed = 0; pressed < 2; ++pressed) {
            const unsigned id = b.id + pressed;
            d.push_back({id, b.w, 31,
                         std::string("popup button, ") + b.what + (pressed ? ", pressed" : ", normal") + ProbeWhat(id),
                         [w = b.w, pressed, id](Canvas& c) {
                             c.Panel(RECT{0, 0, w, 31}, pressed ? kBlue : kPaper, kDark);
                             c.Probe(id);
                         }});
        }
    d.push_back({10308, 25, 25, "popup icon: call" + ProbeWhat(10308), [](Canvas& c) {
                     c.Disc(12, 12, 11, RGB(0, 160, 64));
                     c.Fill(RECT{7, 7, 18, 10}, kPaper);
                     c.Fill(RECT{7, 15, 18, 18}, kPaper);
                     c.Probe(10308);
                 }});
    d.push_back({10309, 25, 25, "popup icon: message" + ProbeWhat(10309), [](Canvas& c) {
                     c.Panel(RECT{1, 5, 24, 20}, kBlue, kDark);
                     c.Probe(10309);
                 }});
    d.push_back({10310, 25, 25, "popup icon: alarm" + ProbeWhat(10310), [](Canvas& c) {
                     c.Ring(12, 12, 11, 3, RGB(224, 32, 32));
                     c.Fill(RECT{11, 5, 14, 13}, kInk);
                     c.Probe(10310);
                 }});
    // Picture slots 1-20, one row per result state: not recognised, recognised, not taken.
    const COLORREF slotFace[] = {RGB(200, 64, 48), RGB(0, 160, 64), kPaper};
    const char* slotWhat[] = {"not recognised", "recognised", "not taken"};
    for (unsigned s = 0; s < 3; ++s)
        for (unsigned k = 0; k < 20; ++k)
            d.push_back({10311 + k + 20 * s, 19, 24,
                         "picture slot " + std::to_string(k + 1) + ", " + slotWhat[s], [s, k, slotFace](Canvas& c) {
                             c.Panel(RECT{0, 0, 19, 24}, slotFace[s], kDark);
                             std::wstring digits = std::to_wstring(k + 1);
                             c.Text(digits.c_str(), RECT{0, 0, 19, 24}, 12, s == 2 ? kInk : kPaper);
                         }});
    // The business-card result view. Each state keeps a flat centre.
    const COLORREF pressedFace = RGB(120, 168, 224);
    d.push_back({30005, 240, 42, "card view title band, portrait", [](Canvas& c) {
                     c.Fill(RECT{0, 0, 240, 42}, RGB(208, 224, 240));
                     c.Fill(RECT{0, 40, 240, 42}, kBlue);
                 }});
    d.push_back({30029, 400, 42, "card view title band, landscape", [](Canvas& c) {
                     c.Fill(RECT{0, 0, 400, 42}, RGB(208, 224, 240));
                     c.Fill(RECT{0, 40, 400, 42}, kBlue);
                 }});
    const unsigned arrowIds[4] = {21014, 21029, 21015, 21030};
    for (unsigned i = 0; i < 4; ++i) {
        bool pressed = i % 2 == 1, right = i >= 2;
        d.push_back({arrowIds[i], 45, 41,
                     std::string("card view ") + (right ? "right" : "left") + " arrow, " + (pressed ? "pressed" : "normal"),
                     [pressed, right, pressedFace](Canvas& c) {
                         c.Panel(RECT{2, 2, 43, 39}, pressed ? pressedFace : kPaper, kDark);
                         c.Arrow(22, 20, 16, right ? -1 : 1, kBlue);
                     }});
    }
    const char* iconWhat[7] = {"a person", "a mobile telephone", "a briefcase", "a building", "an at sign",
                               "a fax machine", "a globe"};
    for (unsigned i = 0; i < 7; ++i)
        d.push_back({21019 + i, 43, 42, std::string("card row icon: ") + iconWhat[i], [i](Canvas& c) {
                         switch (i) {
                         case 0:
                             c.Disc(21, 13, 7, kBlue);
                             c.Fill(RECT{10, 23, 33, 36}, kBlue);
                             break;
                         case 1:
                             c.Panel(RECT{14, 5, 29, 37}, kDark, kDark);
                             c.Fill(RECT{16, 9, 27, 25}, RGB(160, 208, 240));
                             break;
                         case 2:
                             c.Fill(RECT{17, 9, 26, 13}, kDark);
                             c.Panel(RECT{8, 13, 35, 34}, RGB(150, 90, 40), kDark);
                             break;
                         case 3:
                             c.Fill(RECT{12, 6, 31, 37}, kDark);
                             for (int y = 10; y < 32; y += 6)
                                 for (int x = 15; x < 29; x += 6)
                                     c.Fill(RECT{x, y, x + 3, y + 3}, RGB(255, 224, 120));
                             break;
                         case 4:
                             c.Text(L"@", RECT{0, 0, 43, 42}, 30, kBlue);
                             break;
                         case 5:
                             c.Fill(RECT{14, 5, 30, 17}, kPaper);
                             c.Frame(RECT{14, 5, 30, 17}, 1, kDark);
                             c.Panel(RECT{7, 17, 36, 36}, kDark, kDark);
                             break;
                         default:
                             c.Ring(21, 21, 14, 2, kBlue);
                             c.Fill(RECT{7, 20, 36, 22}, kBlue);
                             c.Fill(RECT{20, 7, 22, 36}, kBlue);
                             break;
                         }
                     }});
    auto box = [](int w, int h, COLORREF face) {
        return [w, h, face](Canvas& c) { c.Panel(RECT{0, 0, w, h}, face, RGB(150, 160, 170)); };
    };
    d.push_back({21007, 138, 33, "card row text box, portrait", box(138, 33, RGB(252, 252, 250))});
    d.push_back({21039, 297, 33, "card row text box, landscape", box(297, 33, RGB(252, 252, 250))});
    d.push_back({21009, 33, 33, "card row alternatives button", [](Canvas& c) {
                     c.Panel(RECT{0, 0, 33, 33}, RGB(224, 232, 240), kDark);
                     c.Arrow(16, 17, 12, -2, kBlue);
                 }});
    d.push_back({21031, 240, 130, "card field editor frame, portrait", box(240, 130, RGB(216, 228, 240))});
    d.push_back({21040, 400, 86, "card field editor frame, landscape", box(400, 86, RGB(216, 228, 240))});
    d.push_back({21032, 186, 33, "card edit box background, portrait", box(186, 33, RGB(240, 240, 240))});
    d.push_back({21033, 345, 34, "card edit box background, landscape", box(345, 34, RGB(240, 240, 240))});
    const unsigned editorIds[4] = {21017, 21043, 1650, 1651};
    for (unsigned i = 0; i < 4; ++i) {
        bool pressed = i % 2 == 1, next = i >= 2;
        d.push_back({editorIds[i], 42, 35,
                     std::string("card editor ") + (next ? "next-field" : "OK") + " button, " +
                         (pressed ? "pressed" : "normal"),
                     [pressed, next, pressedFace](Canvas& c) {
                         c.Panel(RECT{0, 0, 42, 35}, pressed ? pressedFace : kPaper, kDark);
                         if (next)
                             c.Arrow(21, 17, 14, -1, kBlue);
                         else
                             c.Text(L"OK", RECT{0, 0, 42, 35}, 16, kBlue);
                     }});
    }
    d.push_back({21035, 171, 35, "alternatives list row, portrait", box(171, 35, RGB(248, 248, 248))});
    d.push_back({21041, 331, 35, "alternatives list row, landscape", box(331, 35, RGB(248, 248, 248))});
    d.push_back({21036, 171, 35, "alternatives list selected row, portrait", box(171, 35, kBlue)});
    d.push_back({21042, 331, 35, "alternatives list selected row, landscape", box(331, 35, kBlue)});
    // The gallery's indicator popup and its progress track.
    d.push_back({10371, 220, 151, "gallery indicator popup background", [](Canvas& c) {
                     c.Panel(RECT{0, 0, 220, 151}, kPaper, kDark);
                     c.Fill(RECT{2, 2, 218, 36}, RGB(216, 228, 240));
                 }});
    d.push_back({10372, 170, 9, "gallery indicator progress track", [](Canvas& c) {
                     c.Fill(RECT{0, 0, 170, 9}, RGB(200, 200, 200));
                     c.Frame(RECT{0, 0, 170, 9}, 1, kDark);
                 }});
    d.push_back({1362, 7, 146, "skinned scroll track", [](Canvas& c) { c.Fill(RECT{0, 0, 7, 146}, RGB(208, 208, 208)); }});
    d.push_back({1375, 7, 20, "skinned scroll thumb", [](Canvas& c) { c.Fill(RECT{0, 0, 7, 20}, kDark); }});
    PeripheryDescriptions(d);
    SettingMenuDescriptions(d);
    PanoramaDescriptions(d);
    // The zoomable picture view: mark boxes, the side arrows, zoom-step dots.
    for (unsigned id : {1364u, 1367u}) {
        bool checked = id == 1364;
        d.push_back({id, 23, 23, std::string("picture view mark box, ") + (checked ? "checked" : "unchecked") + ProbeWhat(id),
                     [id, checked](Canvas& c) {
                         c.Panel(RECT{0, 0, 23, 23}, kPaper, kDark);
                         if (checked) {
                             c.Fill(RECT{4, 4, 19, 19}, kBlue);
                         }
                         c.Probe(id);
                     }});
    }
    for (unsigned id : {1652u, 1653u}) {
        bool right = id == 1652;
        d.push_back({id, 11, 11, std::string("picture view arrow to the ") + (right ? "next" : "previous") + " picture",
                     [right](Canvas& c) { c.Arrow(5, 5, 9, right ? -1 : 1, kBlue); }});
    }
    for (unsigned id : {1654u, 1655u}) {
        bool current = id == 1654;
        d.push_back({id, 9, 9, std::string("zoom-step dot, ") + (current ? "current step" : "other step") + ProbeWhat(id),
                     [id](Canvas& c) {
                         c.Disc(4, 4, 4, kDark);
                         c.Fill(RECT{2, 2, 7, 7}, ProbeColour(id));
                     }});
    }
    GalleryDescriptions(d);
    return d;
}

// The gallery and the OCR settings dialog: drop-down faces and rows, the
// grid's frames, icons and folders, the radio buttons. Portrait and
// landscape looks have their own ids.
void GalleryDescriptions(std::vector<Description>& d)
{
    auto probed = [](unsigned id, std::function<void(Canvas&)> draw) {
        return [id, draw](Canvas& c) {
            draw(c);
            c.Probe(id);
        };
    };
    // A drop-down face: a panel with a down arrow at its right end.
    auto face = [](int w, int h, COLORREF fill, bool arrow, bool up) {
        return [=](Canvas& c) {
            c.Panel(RECT{0, 0, w, h}, fill, kDark);
            if (arrow)
                c.Arrow(w - 14, h / 2, 10, up ? 2 : -2, kInk);
        };
    };
    const struct {
        unsigned id;
        int w, h;
        bool open;
        const char* what;
    } faces[] = {{1370, 115, 41, false, "gallery drop-down, closed, portrait"},
                 {30034, 147, 41, false, "gallery drop-down, closed, landscape"},
                 {1371, 115, 41, true, "gallery drop-down, open, portrait"},
                 {30035, 147, 41, true, "gallery drop-down, open, landscape"}};
    for (const auto& f : faces)
        d.push_back({f.id, f.w, f.h, std::string(f.what) + ProbeWhat(f.id),
                     probed(f.id, face(f.w, f.h, f.open ? RGB(216, 228, 240) : kPaper, true, f.open))});
    const struct {
        unsigned id;
        int w;
        bool arrow;
        const char* what;
    } settingsFaces[] = {{1391, 220, true, "settings language drop-down, portrait"},
                         {1392, 189, true, "settings language drop-down, landscape"},
                         {30073, 220, false, "settings language drop-down with one row, portrait"},
                         {30074, 189, false, "settings language drop-down with one row, landscape"}};
    for (const auto& f : settingsFaces)
        d.push_back({f.id, f.w, 33, std::string(f.what) + ProbeWhat(f.id),
                     probed(f.id, face(f.w, 33, kPaper, f.arrow, false))});
    const struct {
        unsigned id;
        int w;
        bool selected;
        const char* what;
    } rows[] = {{1381, 220, false, "drop-down row, portrait"},
                {1388, 189, false, "drop-down row, landscape"},
                {1385, 220, true, "drop-down selected row, portrait"},
                {1390, 189, true, "drop-down selected row, landscape"}};
    for (const auto& r : rows)
        d.push_back({r.id, r.w, 34, std::string(r.what) + ProbeWhat(r.id), probed(r.id, [r](Canvas& c) {
                         c.Fill(RECT{0, 0, r.w, 34}, r.selected ? kBlue : RGB(248, 248, 248));
                     })});
    d.push_back({1405, 7, 105, "drop-down scroll track", [](Canvas& c) { c.Fill(RECT{0, 0, 7, 105}, RGB(208, 208, 208)); }});
    d.push_back({1368, 240, 53, "gallery drop-down area, portrait" + ProbeWhat(1368),
                 probed(1368, [](Canvas& c) { c.Fill(RECT{0, 0, 240, 53}, RGB(200, 212, 228)); })});
    d.push_back({30036, 400, 47, "gallery drop-down area, landscape" + ProbeWhat(30036),
                 probed(30036, [](Canvas& c) { c.Fill(RECT{0, 0, 400, 47}, RGB(200, 212, 228)); })});
    // The grid's cell: frames of the current and of other items, the delete
    // icon of delete mode, folders.
    d.push_back({1366, 97, 70, "gallery frame of the current item" + ProbeWhat(1366), probed(1366, [](Canvas& c) {
                     c.Frame(RECT{0, 0, 97, 70}, 3, RGB(255, 160, 0));
                 })});
    d.push_back({1365, 93, 66, "gallery frame of other items" + ProbeWhat(1365), probed(1365, [](Canvas& c) {
                     c.Frame(RECT{0, 0, 93, 66}, 1, kGrey);
                 })});
    d.push_back({1350, 29, 29, "gallery delete icon" + ProbeWhat(1350), probed(1350, [](Canvas& c) {
                     c.Panel(RECT{0, 0, 29, 29}, RGB(224, 32, 32), kDark);
                     for (int i = 6; i < 23; ++i) {
                         c.Fill(RECT{i - 1, i - 1, i + 1, i + 1}, kPaper);
                         c.Fill(RECT{28 - i - 1, i - 1, 28 - i + 1, i + 1}, kPaper);
                     }
                 })});
    for (unsigned id : {1397u, 1403u}) {
        const bool parent = id == 1403;
        d.push_back({id, 60, 48, std::string(parent ? "gallery parent folder" : "gallery folder") + ProbeWhat(id),
                     probed(id, [parent](Canvas& c) {
                         c.Fill(RECT{4, 6, 26, 12}, RGB(224, 176, 48));
                         c.Panel(RECT{4, 10, 56, 44}, RGB(240, 200, 80), RGB(160, 112, 16));
                         if (parent)
                             c.Arrow(18, 27, 12, -2, kInk);
                     })});
    }
    // The settings dialog's radio buttons: unselected, pressed, selected.
    const COLORREF radio[] = {kPaper, kGrey, kBlue};
    const char* radioWhat[] = {"unselected", "pressed", "selected"};
    for (unsigned i = 0; i < 3; ++i) {
        const unsigned id = 30002 + i;
        d.push_back({id, 61, 36, std::string("settings radio button, ") + radioWhat[i] + ProbeWhat(id),
                     probed(id, [fill = radio[i]](Canvas& c) { c.Panel(RECT{0, 0, 61, 36}, fill, kDark); })});
    }
}

// The camera's other screens (thumbnails, viewer, movie, camcorder,
// settings menu), from 11000; each state has its own centre colour.
void ViewerDescriptions(std::vector<Description>& d);

void PeripheryDescriptions(std::vector<Description>& d)
{
    auto probed = [](unsigned id, std::function<void(Canvas&)> draw) {
        return [id, draw](Canvas& c) {
            draw(c);
            c.Probe(id);
        };
    };
    d.push_back({11000, 26, 26, "thumbnail mark box, not marked" + ProbeWhat(11000), probed(11000, [](Canvas& c) {
                     c.Panel(RECT{0, 0, 26, 26}, kPaper, kDark);
                 })});
    d.push_back({11001, 26, 26, "thumbnail mark box, marked" + ProbeWhat(11001), probed(11001, [](Canvas& c) {
                     c.Panel(RECT{0, 0, 26, 26}, RGB(0, 160, 64), kDark);
                 })});
    d.push_back({11002, 36, 27, "thumbnail video overlay: a film frame with a play arrow" + ProbeWhat(11002),
                 probed(11002, [](Canvas& c) {
                     c.Panel(RECT{0, 0, 36, 27}, kDark, kInk);
                     c.Arrow(18, 13, 12, 1, kPaper);
                 })});
    const struct {
        unsigned id;
        int icon;
        const char* what;
    } sideButtons[] = {{11003, 9, "thumbnail delete button"}, {11005, 3, "thumbnail back button"}};
    for (const auto& b : sideButtons)
        for (unsigned pressed = 0; pressed < 2; ++pressed) {
            const unsigned id = b.id + pressed;
            d.push_back({id, 40, 60, std::string(b.what) + (pressed ? ", pressed" : ", normal") + ProbeWhat(id),
                         probed(id, [pressed, icon = b.icon](Canvas& c) {
                             c.Panel(RECT{0, 0, 40, 60}, pressed ? kBlue : kPaper, kDark);
                             Icon(c, icon, pressed ? kPaper : kInk);
                         })});
        }
    ViewerDescriptions(d);
}

// A side button of 40 x 48 in its normal and pressed look, from id.
void SideButton(std::vector<Description>& d, unsigned id, const std::string& what,
                const std::function<void(Canvas&, COLORREF)>& icon)
{
    for (unsigned pressed = 0; pressed < 2; ++pressed) {
        const unsigned at = id + pressed;
        d.push_back({at, 40, 48, what + (pressed ? ", pressed" : ", normal") + ProbeWhat(at),
                     [at, pressed, icon](Canvas& c) {
                         c.Panel(RECT{0, 0, 40, 48}, pressed ? kBlue : kPaper, kDark);
                         icon(c, pressed ? kPaper : kInk);
                         c.Probe(at);
                     }});
    }
}

void Bars(Canvas& c, COLORREF ink)
{
    c.Fill(RECT{12, 12, 18, 36}, ink);
    c.Fill(RECT{22, 12, 28, 36}, ink);
}

// The viewer's and the movie screen's buttons and panel, the camcorder's
// indicator, from 11010.
void ViewerDescriptions(std::vector<Description>& d)
{
    SideButton(d, 11010, "viewer leave button", [](Canvas& c, COLORREF ink) { Icon(c, 3, ink); });
    SideButton(d, 11012, "viewer file details button", [](Canvas& c, COLORREF ink) {
        c.Ring(20, 24, 13, 2, ink);
        c.Text(L"i", RECT{0, 0, 40, 48}, 20, ink);
    });
    SideButton(d, 11014, "viewer play button", [](Canvas& c, COLORREF ink) { c.Arrow(21, 24, 18, 1, ink); });
    SideButton(d, 11016, "viewer pause button", Bars);
    SideButton(d, 11018, "viewer previous button", [](Canvas& c, COLORREF ink) {
        c.Arrow(22, 24, 14, -1, ink);
        c.Fill(RECT{10, 16, 13, 32}, ink);
    });
    SideButton(d, 11020, "viewer next button", [](Canvas& c, COLORREF ink) {
        c.Arrow(18, 24, 14, 1, ink);
        c.Fill(RECT{27, 16, 30, 32}, ink);
    });
    // One flat colour, so that its blend over a picture is plain to check.
    d.push_back({11022, 400, 240, "viewer file details panel, one flat colour" + ProbeWhat(11022),
                 [](Canvas& c) { c.Fill(RECT{0, 0, 400, 240}, ProbeColour(11022)); }});

    SideButton(d, 11030, "movie play button", [](Canvas& c, COLORREF ink) { c.Arrow(21, 24, 18, 1, ink); });
    SideButton(d, 11032, "movie button while played (pause)", Bars);
    SideButton(d, 11034, "movie button once stopped (play again)", [](Canvas& c, COLORREF ink) {
        c.Ring(20, 24, 12, 3, ink);
        c.Arrow(20, 24, 10, 1, ink);
    });
    SideButton(d, 11036, "movie stop button (leave)", [](Canvas& c, COLORREF ink) {
        c.Fill(RECT{11, 15, 29, 33}, ink);
    });
    for (unsigned disabled = 0; disabled < 2; ++disabled) {
        const unsigned id = 11038 + disabled;
        d.push_back({id, 40, 48,
                     std::string("movie MMS mark, ") + (disabled ? "too large to send" : "fits a message") + ProbeWhat(id),
                     [id, disabled](Canvas& c) {
                         c.Panel(RECT{0, 0, 40, 48}, disabled ? kDisabled : kPaper, kDark);
                         c.Text(L"MMS", RECT{0, 4, 40, 22}, 12, disabled ? kGrey : kBlue);
                         c.Probe(id);
                     }});
    }

    // The camcorder: the recording dot, the pause mark, its side buttons.
    d.push_back({11040, 15, 15, "camcorder recording dot" + ProbeWhat(11040), [](Canvas& c) {
                     c.Disc(7, 7, 7, RGB(224, 24, 24));
                     c.Fill(RECT{5, 5, 10, 10}, ProbeColour(11040));
                 }});
    d.push_back({11041, 15, 15, "camcorder pause mark" + ProbeWhat(11041), [](Canvas& c) {
                     c.Fill(RECT{2, 1, 6, 14}, kPaper);
                     c.Fill(RECT{9, 1, 13, 14}, kPaper);
                     c.Fill(RECT{6, 5, 9, 10}, ProbeColour(11041));
                 }});
    SideButton(d, 11042, "camcorder size-mode menu button", [](Canvas& c, COLORREF ink) {
        c.Text(L"MMS", RECT{0, 4, 40, 20}, 12, ink);
        c.Frame(RECT{8, 28, 32, 44}, 2, ink);
    });
    SideButton(d, 11044, "camcorder video-size menu button", [](Canvas& c, COLORREF ink) {
        c.Frame(RECT{6, 10, 34, 32}, 2, ink);
        c.Frame(RECT{12, 16, 28, 26}, 2, ink);
    });
    SideButton(d, 11046, "camcorder stop button", [](Canvas& c, COLORREF ink) {
        c.Fill(RECT{11, 15, 29, 33}, ink);
        c.Disc(30, 12, 4, RGB(224, 24, 24));
    });
}

// The camera settings menu, from 11060: the tabs (camera, camcorder,
// general; normal and chosen), the title bar and its icon, the list
// background, the chosen value's highlight and the scroll buttons.
void SettingMenuDescriptions(std::vector<Description>& d)
{
    auto probed = [](unsigned id, std::function<void(Canvas&)> draw) {
        return [id, draw](Canvas& c) {
            draw(c);
            c.Probe(id);
        };
    };
    const struct {
        int icon;
        const char* what;
    } tabs[] = {{0, "camera"}, {7, "camcorder"}, {2, "general"}};
    for (unsigned tab = 0; tab < 3; ++tab)
        for (unsigned chosen = 0; chosen < 2; ++chosen) {
            const unsigned id = 11060 + 2 * tab + chosen;
            d.push_back({id, 106, 30,
                         std::string("settings menu tab, ") + tabs[tab].what + (chosen ? ", chosen" : ", normal") +
                             ProbeWhat(id),
                         probed(id, [chosen, icon = tabs[tab].icon](Canvas& c) {
                             c.Panel(RECT{0, 0, 106, 30}, chosen ? kBlue : kPaper, kDark);
                             Icon(c, icon, chosen ? kPaper : kInk);
                         })});
        }
    d.push_back({11066, 320, 26, "settings menu title bar" + ProbeWhat(11066), probed(11066, [](Canvas& c) {
                     c.Fill(RECT{0, 0, 320, 26}, kDark);
                     c.Fill(RECT{0, 24, 320, 26}, kBlue);
                 })});
    d.push_back({11067, 24, 24, "settings menu title icon: a wheel" + ProbeWhat(11067), probed(11067, [](Canvas& c) {
                     c.Ring(12, 12, 11, 4, kGrey);
                 })});
    d.push_back({11068, 320, 184, "settings menu list background: titles left, values right" + ProbeWhat(11068),
                 probed(11068, [](Canvas& c) {
                     c.Panel(RECT{0, 0, 320, 184}, kPaper, kDark);
                     c.Fill(RECT{159, 4, 161, 148}, kGrey);
                     c.Fill(RECT{4, 149, 316, 151}, kGrey);
                 })});
    d.push_back({11069, 148, 28, "settings menu chosen value highlight" + ProbeWhat(11069), probed(11069, [](Canvas& c) {
                     c.Panel(RECT{0, 0, 148, 28}, RGB(248, 216, 112), kDark);
                 })});
    const struct {
        unsigned id;
        int dir;
        const char* what;
    } scrolls[] = {{11070, 2, "up"}, {11073, -2, "down"}};
    const char* states[] = {"normal", "pressed", "disabled"};
    for (const auto& s : scrolls)
        for (unsigned state = 0; state < 3; ++state) {
            const unsigned id = s.id + state;
            d.push_back({id, 40, 28,
                         std::string("settings menu scroll ") + s.what + " button, " + states[state] + ProbeWhat(id),
                         probed(id, [state, dir = s.dir](Canvas& c) {
                             const COLORREF face = state == 1 ? kBlue : state == 2 ? kDisabled : kPaper;
                             c.Panel(RECT{0, 0, 40, 28}, face, kDark);
                             c.Arrow(20, 14, 14, dir, state == 1 ? kPaper : state == 2 ? kGrey : kInk);
                         })});
        }
}

// The panorama's guide over the preview, from 11100: the frame the next shot
// should fill, the arrows that say where to turn, the progress bar.
void PanoramaDescriptions(std::vector<Description>& d)
{
    const COLORREF guide = RGB(255, 255, 255);
    d.push_back({11100, 108, 79, "panorama guide frame: white corner marks" + ProbeWhat(11100), [guide](Canvas& c) {
                     const int L = 16, T = 3;
                     c.Fill(RECT{0, 0, L, T}, guide), c.Fill(RECT{0, 0, T, L}, guide);
                     c.Fill(RECT{108 - L, 0, 108, T}, guide), c.Fill(RECT{108 - T, 0, 108, L}, guide);
                     c.Fill(RECT{0, 79 - T, L, 79}, guide), c.Fill(RECT{0, 79 - L, T, 79}, guide);
                     c.Fill(RECT{108 - L, 79 - T, 108, 79}, guide), c.Fill(RECT{108 - T, 79 - L, 108, 79}, guide);
                     c.Probe(11100);
                 }});
    const struct {
        unsigned id;
        int w, h, dir;
        const char* what;
    } arrows[] = {{11101, 8, 13, -1, "left"}, {11102, 13, 8, -2, "up"}, {11103, 8, 13, 1, "right"}, {11104, 13, 8, 2, "down"}};
    for (const auto& a : arrows)
        d.push_back({a.id, a.w, a.h, std::string("panorama arrow pointing ") + a.what, [a](Canvas& c) {
                         c.Arrow(a.w / 2, a.h / 2, a.w > a.h ? a.h - 1 : a.w - 1, a.dir, RGB(255, 208, 0));
                     }});
    d.push_back({11105, 234, 12, "panorama progress bar frame", [](Canvas& c) {
                     c.Fill(RECT{0, 0, 234, 12}, kDark);
                     c.Frame(RECT{0, 0, 234, 12}, 1, RGB(255, 255, 255));
                 }});
    d.push_back({11106, 1, 8, "panorama progress bar fill column", [](Canvas& c) { c.Fill(RECT{0, 0, 1, 8}, RGB(0, 160, 64)); }});
}

// A colour other than the key that the 5-6-5 display would show as the key.
bool LooksLikeKey(COLORREF c)
{
    return c != kKey && (GetRValue(c) >> 3) == 31 && (GetGValue(c) >> 2) == 0 && (GetBValue(c) >> 3) == 31;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: imagegen OUTDIR\n");
        return 2;
    }
    std::wstring why;
    if (!plat::CheckFonts(&why)) {
        std::fprintf(stderr, "imagegen: %ls\n", why.c_str());
        return 1;
    }
    fs::path out = argv[1];
    std::error_code ec;
    fs::create_directories(out, ec);
    std::ofstream manifest(out / "MANIFEST");
    manifest << "# id\twidth\theight\twhat (drawn by tools/imagegen; magenta 255,0,255 is transparent)\n";
    std::vector<COLORREF> probes;
    for (const Description& d : Descriptions()) {
        if (d.what.find(", centre ") != std::string::npos) {
            const COLORREF probe = ProbeColour(d.id);
            for (COLORREF other : probes)
                if (other == probe) {
                    std::fprintf(stderr, "imagegen: image %u shares its centre colour\n", d.id);
                    return 1;
                }
            probes.push_back(probe);
        }
        Canvas canvas(d.w, d.h);
        d.draw(canvas);
        plat::ScreenImage image = canvas.Image();
        for (COLORREF c : image.pixels)
            if (LooksLikeKey(c)) {
                std::fprintf(stderr, "imagegen: image %u has a colour that turns into the key\n", d.id);
                return 1;
            }
        if (!plat::WritePng(out / (std::to_string(d.id) + ".png"), image)) {
            std::fprintf(stderr, "imagegen: cannot write image %u\n", d.id);
            return 1;
        }
        manifest << d.id << '\t' << d.w << '\t' << d.h << '\t' << d.what << '\n';
    }
    return manifest.good() ? 0 : 1;
}
