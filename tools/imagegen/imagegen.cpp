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
    switch (kind % 8) {
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

std::vector<Description> Descriptions()
{
    std::vector<Description> d;
    // The single-shot touch bar: buttons in normal and pressed looks.
    for (unsigned id = 10000; id <= 10020; ++id) {
        bool pressed = id % 2 == 1;
        int kind = static_cast<int>((id - 10000) / 2);
        d.push_back({id, 52, 48, std::string("single-shot bar button, icon ") + std::to_string(kind % 8) +
                                     (pressed ? ", pressed" : ", normal"),
                     [pressed, kind](Canvas& c) {
                         c.Panel(RECT{2, 2, 50, 46}, pressed ? kBlue : kPaper, kDark);
                         Icon(c, kind, pressed ? kPaper : kInk);
                     }});
    }
    // Focus marks: none, focusing, focused, failed.
    const COLORREF focus[] = {RGB(255, 255, 255), RGB(255, 208, 0), RGB(0, 200, 64), RGB(224, 32, 32)};
    const char* focusWhat[] = {"none", "focusing", "focused", "failed"};
    for (unsigned i = 0; i < 4; ++i)
        d.push_back({10021 + i, 51, 35, std::string("focus brackets, ") + focusWhat[i], [c0 = focus[i]](Canvas& c) {
                         const int L = 10, T = 3;
                         c.Fill(RECT{0, 0, L, T}, c0), c.Fill(RECT{0, 0, T, L}, c0);
                         c.Fill(RECT{51 - L, 0, 51, T}, c0), c.Fill(RECT{51 - T, 0, 51, L}, c0);
                         c.Fill(RECT{0, 35 - T, L, 35}, c0), c.Fill(RECT{0, 35 - L, T, 35}, c0);
                         c.Fill(RECT{51 - L, 35 - T, 51, 35}, c0), c.Fill(RECT{51 - T, 35 - L, 51, 35}, c0);
                     }});
    // The multi-shot bar and the recognition bar.
    for (unsigned id = 10100; id <= 10124; ++id)
        d.push_back({id, 52, 48, "multi-shot bar button, icon " + std::to_string((id - 10100) % 8),
                     [id](Canvas& c) {
                         c.Panel(RECT{2, 2, 50, 46}, id % 2 ? kBlue : kPaper, kDark);
                         Icon(c, static_cast<int>(id - 10100), id % 2 ? kPaper : kInk);
                     }});
    for (unsigned id = 10200; id <= 10204; ++id)
        d.push_back({id, 52, 48, "recognition bar button, icon " + std::to_string(id - 10200 + 5),
                     [id](Canvas& c) {
                         c.Panel(RECT{2, 2, 50, 46}, kPaper, kDark);
                         Icon(c, static_cast<int>(id - 10200 + 5), kInk);
                     }});
    // Popups: frames, icon, buttons, indicator and notice.
    auto frame = [](int w, int h) {
        return [w, h](Canvas& c) {
            c.Panel(RECT{0, 0, w, h}, kPaper, kDark);
            c.Fill(RECT{2, 2, w - 2, 26}, kBlue);
        };
    };
    d.push_back({10300, 240, 140, "popup frame with a blue title band", frame(240, 140)});
    d.push_back({1657, 280, 150, "result popup frame with a blue title band", frame(280, 150)});
    d.push_back({10301, 32, 32, "popup information icon", [](Canvas& c) {
                     c.Disc(16, 16, 14, kBlue);
                     c.Text(L"i", RECT{0, 0, 32, 32}, 22, kPaper);
                 }});
    const char* buttonWhat[] = {"Yes", "No", "OK", "Cancel"};
    for (unsigned i = 0; i < 6; ++i) {
        unsigned id = 10302 + i;
        bool pressed = i % 2 == 1;
        d.push_back({id, 80, 32, std::string("popup button, ") + buttonWhat[(i / 2) % 4] + (pressed ? ", pressed" : ""),
                     [pressed](Canvas& c) { c.Panel(RECT{0, 0, 80, 32}, pressed ? kBlue : kPaper, kDark); }});
    }
    d.push_back({10308, 20, 20, "busy indicator dot", [](Canvas& c) { c.Disc(10, 10, 8, RGB(224, 32, 32)); }});
    d.push_back({10309, 16, 16, "notice mark", [](Canvas& c) {
                     c.Disc(8, 8, 7, RGB(255, 208, 0));
                     c.Text(L"!", RECT{0, 0, 16, 16}, 14, kInk);
                 }});
    d.push_back({10310, 40, 40, "warning sign", [](Canvas& c) {
                     c.Arrow(20, 22, 34, -2, RGB(255, 208, 0));
                     c.Text(L"!", RECT{0, 8, 40, 40}, 20, kInk);
                 }});
    // Picture slots 1-20 in three states: empty, taken, recognised.
    const COLORREF slotFace[] = {kPaper, kBlue, RGB(0, 160, 64)};
    const char* slotWhat[] = {"empty", "taken", "recognised"};
    for (unsigned s = 0; s < 3; ++s)
        for (unsigned k = 0; k < 20; ++k)
            d.push_back({10311 + k + 20 * s, 19, 24,
                         "picture slot " + std::to_string(k + 1) + ", " + slotWhat[s], [s, k, slotFace](Canvas& c) {
                             c.Panel(RECT{0, 0, 19, 24}, slotFace[s], kDark);
                             std::wstring digits = std::to_wstring(k + 1);
                             c.Text(digits.c_str(), RECT{0, 0, 19, 24}, 12, s ? kPaper : kInk);
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
    d.push_back({1362, 7, 146, "skinned scroll track", [](Canvas& c) { c.Fill(RECT{0, 0, 7, 146}, RGB(208, 208, 208)); }});
    d.push_back({1375, 7, 20, "skinned scroll thumb", [](Canvas& c) { c.Fill(RECT{0, 0, 7, 20}, kDark); }});
    return d;
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
    for (const Description& d : Descriptions()) {
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
