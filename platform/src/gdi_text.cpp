// GDI text: the DC's text attributes, text output, measuring and the
// record of text calls that tests read.
#include "plat/gdi.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "gdi_font.h"
#include "gdi_internal.h"
#include "plat/debug.h"
#include "plat/error.h"
#include "plat/window.h"

using namespace plat::gdi;

namespace {

std::shared_ptr<FontObject> DcFont(DcObject& dc)
{
    if (dc.font && dc.font->font)
        return dc.font;
    return nullptr;
}

struct Placed {
    int along0;    // pen start along the run
    int baseline;  // across the run
    RECT box;
};

// Where a run of text of the given width goes for a reference point and alignment.
Placed Place(const Font& f, LONG escapement, int x, int y, UINT align, int width)
{
    UINT h = align & (TA_CENTER);
    UINT v = align & TA_BASELINE;
    Placed p{};
    if (escapement == 2700) {
        // Turned a quarter turn clockwise: the run goes down, the glyphs' tops face right.
        p.along0 = h == TA_RIGHT ? y - width : h == TA_CENTER ? y - width / 2 : y;
        // The cell lies left of x for TA_TOP and right of it for TA_BOTTOM.
        p.baseline = v == TA_BASELINE ? x : v == TA_BOTTOM ? x + f.Descent() - 1 : x - f.Ascent() - 1;
        p.box = RECT{p.baseline - f.Descent() + 1, p.along0, p.baseline + f.Ascent() + 1, p.along0 + width};
    } else {
        p.along0 = h == TA_RIGHT ? x - width : h == TA_CENTER ? x - width / 2 : x;
        p.baseline = v == TA_BASELINE ? y : v == TA_BOTTOM ? y - f.Descent() : y + f.Ascent();
        p.box = RECT{p.along0, p.baseline - f.Ascent(), p.along0 + width, p.baseline + f.Descent()};
    }
    return p;
}

void DrawRun(DcObject& dc, Font& f, LONG escapement, const Placed& p, std::wstring_view text)
{
    if (dc.bkMode == OPAQUE)
        FillDc(dc, p.box, dc.bkColour);
    COLORREF colour = dc.textColour;
    if (escapement == 2700) {
        f.Render(text, [&](int along, int down) { Plot(dc, p.baseline - down, p.along0 + along, colour); });
    } else {
        f.Render(text, [&](int along, int down) { Plot(dc, p.along0 + along, p.baseline + down, colour); });
    }
}

void Record(DcObject& dc, std::wstring_view text, POINT at, UINT align, RECT box, LONG escapement)
{
    if (dc.recording)
        dc.textCalls.push_back(plat::TextCall{std::wstring(text), at, align, box, escapement, dc.textColour});
}

}  // namespace

namespace {

// Replaces one drawing attribute of a DC and returns the old one, or fail for a dead DC.
template <class T>
T SwapAttribute(HDC hdc, T DcObject::*field, T value, T fail)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc)
        return fail;
    T old = (*dc).*field;
    (*dc).*field = value;
    return old;
}

template <class T>
T ReadAttribute(HDC hdc, T DcObject::*field, T fail)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    return dc ? (*dc).*field : fail;
}

}  // namespace

COLORREF SetBkColor(HDC hdc, COLORREF colour)
{
    if (colour == CLR_INVALID)
        return CLR_INVALID;
    return SwapAttribute(hdc, &DcObject::bkColour, colour & 0xFFFFFF, CLR_INVALID);
}

COLORREF GetBkColor(HDC hdc) { return ReadAttribute(hdc, &DcObject::bkColour, CLR_INVALID); }

int SetBkMode(HDC hdc, int mode)
{
    if (mode != TRANSPARENT && mode != OPAQUE)
        return 0;
    return SwapAttribute(hdc, &DcObject::bkMode, mode, 0);
}

COLORREF SetTextColor(HDC hdc, COLORREF colour)
{
    if (colour == CLR_INVALID)
        return CLR_INVALID;
    return SwapAttribute(hdc, &DcObject::textColour, colour & 0xFFFFFF, CLR_INVALID);
}

UINT SetTextAlign(HDC hdc, UINT align) { return SwapAttribute(hdc, &DcObject::textAlign, align, GDI_ERROR); }

UINT GetTextAlign(HDC hdc) { return ReadAttribute(hdc, &DcObject::textAlign, GDI_ERROR); }

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, LPCRECT rect, LPCWSTR text, UINT count, const INT*)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc || (count > 0 && !text))
        return FALSE;
    if ((options & ETO_OPAQUE) && rect)
        FillDc(*dc, *rect, dc->bkColour);
    if (count == 0)
        return TRUE;
    auto fo = DcFont(*dc);
    if (!fo)
        return FALSE;
    std::wstring_view run(text, count);
    Font& f = *fo->font;
    LONG esc = fo->logFont.lfEscapement == 2700 ? 2700 : 0;
    bool updateCp = (dc->textAlign & TA_UPDATECP) != 0;
    if (updateCp) {
        x = dc->pen_pos.x;
        y = dc->pen_pos.y;
    }
    int width = f.Advance(run);
    Placed p = Place(f, esc, x, y, dc->textAlign, width);
    RECT savedClip = dc->clip;
    if ((options & ETO_CLIPPED) && rect)
        dc->clip = Intersect(dc->clip, ToSurface(*dc, *rect));
    DrawRun(*dc, f, esc, p, run);
    dc->clip = savedClip;
    Record(*dc, run, POINT{x, y}, dc->textAlign, p.box, esc);
    if (updateCp) {
        if (esc == 2700)
            dc->pen_pos.y = p.along0 + width;
        else
            dc->pen_pos.x = p.along0 + width;
    }
    return TRUE;
}

namespace {

std::wstring StripPrefix(std::wstring_view text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size())
            ++i;
        else if (text[i] == L'&')
            continue;
        out += text[i];
    }
    return out;
}

// Splits into lines: at line ends unless single-line, and at spaces to fit
// the width when word-breaking (a word wider than the box keeps its line).
std::vector<std::wstring> Lines(Font& f, const std::wstring& text, UINT format, int width)
{
    std::vector<std::wstring> paragraphs;
    if (format & DT_SINGLELINE) {
        std::wstring one;
        for (WCHAR c : text)
            if (c != L'\r' && c != L'\n')
                one += c;
        paragraphs.push_back(one);
    } else {
        std::wstring cur;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == L'\r' || text[i] == L'\n') {
                if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
                    ++i;
                paragraphs.push_back(cur);
                cur.clear();
            } else {
                cur += text[i];
            }
        }
        paragraphs.push_back(cur);
    }
    if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE))
        return paragraphs;
    std::vector<std::wstring> lines;
    for (const std::wstring& para : paragraphs) {
        std::wstring line;
        size_t i = 0;
        if (para.empty())
            lines.push_back(L"");
        while (i < para.size()) {
            size_t end = para.find(L' ', i);
            if (end == std::wstring::npos)
                end = para.size();
            std::wstring word = para.substr(i, end - i);
            std::wstring candidate = line.empty() ? word : line + L' ' + word;
            if (!line.empty() && f.Advance(candidate) > width) {
                lines.push_back(line);
                line = word;
            } else {
                line = candidate;
            }
            i = end + 1;
        }
        if (!para.empty())
            lines.push_back(line);
    }
    return lines;
}

std::wstring Ellipsised(Font& f, const std::wstring& line, int width)
{
    if (f.Advance(line) <= width)
        return line;
    std::wstring cut = line;
    while (!cut.empty() && f.Advance(cut + L"...") > width)
        cut.pop_back();
    return cut + L"...";
}

}  // namespace

int DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc || !text || !rect)
        return 0;
    auto fo = DcFont(*dc);
    if (!fo)
        return 0;
    Font& f = *fo->font;
    std::wstring_view raw = count < 0 ? std::wstring_view(text) : std::wstring_view(text, static_cast<size_t>(count));
    std::wstring body = (format & DT_NOPREFIX) ? std::wstring(raw) : StripPrefix(raw);
    int boxWidth = rect->right - rect->left;
    std::vector<std::wstring> lines = Lines(f, body, format, boxWidth);
    if (format & DT_END_ELLIPSIS)
        for (auto& line : lines)
            line = Ellipsised(f, line, boxWidth);
    int lineHeight = f.Height();
    int total = lineHeight * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const auto& line : lines)
            widest = std::max(widest, f.Advance(line));
        if (!(format & DT_WORDBREAK) || lines.size() <= 1)
            rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }
    int top = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            top = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            top = rect->bottom - lineHeight;
    }
    RECT savedClip = dc->clip;
    if (!(format & DT_NOCLIP))
        dc->clip = Intersect(dc->clip, ToSurface(*dc, *rect));
    for (size_t i = 0; i < lines.size(); ++i) {
        int w = f.Advance(lines[i]);
        int left = (format & DT_CENTER) ? rect->left + (boxWidth - w) / 2
                   : (format & DT_RIGHT) ? rect->right - w
                                         : rect->left;
        int y = top + static_cast<int>(i) * lineHeight;
        Placed p = Place(f, 0, left, y, TA_LEFT | TA_TOP, w);
        DrawRun(*dc, f, 0, p, lines[i]);
        Record(*dc, lines[i], POINT{left, y}, format, p.box, 0);
    }
    dc->clip = savedClip;
    return total;
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE* size)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc || !size || count < 0 || (count > 0 && !text))
        return FALSE;
    auto fo = DcFont(*dc);
    if (!fo)
        return FALSE;
    size->cx = count ? fo->font->Advance(std::wstring_view(text, static_cast<size_t>(count))) : 0;
    size->cy = fo->font->Height();
    return TRUE;
}

BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* tm)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc || !tm)
        return FALSE;
    auto fo = DcFont(*dc);
    if (!fo)
        return FALSE;
    Font& f = *fo->font;
    *tm = TEXTMETRICW{};
    tm->tmHeight = f.Height();
    tm->tmAscent = f.Ascent();
    tm->tmDescent = f.Descent();
    tm->tmInternalLeading = std::max(0, f.InternalLeading());
    tm->tmAveCharWidth = f.AveCharWidth();
    tm->tmMaxCharWidth = f.MaxCharWidth();
    tm->tmWeight = f.Weight();
    tm->tmDigitizedAspectX = 96;
    tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFFFC;
    tm->tmDefaultChar = L'?';
    tm->tmBreakChar = L' ';
    tm->tmPitchAndFamily = 0x06;  // variable pitch, TrueType
    tm->tmCharSet = fo->logFont.lfCharSet;
    return TRUE;
}

namespace plat {

BOOL RecordTextCalls(HDC hdc, bool on)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc)
        return FALSE;
    dc->recording = on;
    if (on)
        dc->textCalls.clear();
    return TRUE;
}

std::vector<TextCall> RecordedTextCalls(HDC hdc)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    return dc ? dc->textCalls : std::vector<TextCall>{};
}

bool CheckFonts(std::wstring* why)
{
    LOGFONTW lf{};
    lf.lfHeight = -12;
    for (LONG weight : {FW_NORMAL, FW_BOLD}) {
        lf.lfWeight = weight;
        if (!Font::Create(lf, why))
            return false;
    }
    return true;
}

}  // namespace plat
