// The outbox behind MailComposeMessage.
#include "plat/mail.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "plat/clock.h"
#include "plat/error.h"
#include "plat/file.h"
#include "plat/utf.h"
#include "whole_file.h"

namespace {

// RFC 5322 allows 998 octets a line; an encoded line stays under 78.
constexpr size_t kLongestLine = 998;
constexpr size_t kEncodedLine = 76;
// The fewest UTF-8 bytes of an encoded word: a character never parts.
constexpr size_t kWordBytes = 6;

bool Present(LPCWSTR text) { return text && *text; }

// Line breaks inside a header value would start new headers.
std::string HeaderText(LPCWSTR value)
{
    std::wstring flat = value;
    for (WCHAR& c : flat)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    return plat::ToUtf8(flat);
}

std::string Base64(const std::string& bytes)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 2]);
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? digits[v & 63] : '=';
    }
    return out;
}

bool PlainAscii(const std::string& text)
{
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

// "Name: value", as encoded words on folded lines when the value is not
// plain ASCII or too long; a character's bytes never part.
void AppendHeader(std::string& out, const char* name, const std::string& value)
{
    out += name;
    out += ": ";
    if (PlainAscii(value) && value.size() + 2 + std::char_traits<char>::length(name) <= kEncodedLine) {
        out += value;
        out += "\r\n";
        return;
    }
    size_t start = 0;
    bool first = true;
    size_t used = std::char_traits<char>::length(name) + 2;
    while (start < value.size()) {
        // Each word fills what its line has left: "=?utf-8?B?" and "?=" around 4 characters per 3 bytes.
        size_t room = kEncodedLine > used + 12 ? (kEncodedLine - used - 12) / 4 * 3 : 0;
        size_t end = std::min(value.size(), start + std::max(room, kWordBytes));
        used = 1;
        while (end < value.size() && end > start + 1 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80)
            --end;
        if (!first)
            out += "\r\n ";
        out += "=?utf-8?B?";
        out += Base64(value.substr(start, end - start));
        out += "?=";
        first = false;
        start = end;
    }
    out += "\r\n";
}

// The body's lines, whatever breaks the text used.
std::vector<std::string> BodyLines(LPCWSTR body)
{
    std::vector<std::string> lines;
    std::wstring line;
    for (const WCHAR* p = body ? body : L""; *p; ++p) {
        if (*p == L'\r' || *p == L'\n') {
            lines.push_back(plat::ToUtf8(line));
            line.clear();
            if (*p == L'\r' && p[1] == L'\n')
                ++p;
        } else {
            line.push_back(*p);
        }
    }
    lines.push_back(plat::ToUtf8(line));
    return lines;
}

// Quoted-printable of one line, with soft breaks that never part an "=XX".
void AppendQuotedPrintable(std::string& out, const std::string& line)
{
    static const char hex[] = "0123456789ABCDEF";
    size_t column = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        auto c = static_cast<unsigned char>(line[i]);
        bool last = i + 1 == line.size();
        std::string piece;
        if ((c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last))
            piece = std::string(1, static_cast<char>(c));
        else
            piece = std::string{'=', hex[c >> 4], hex[c & 15]};
        if (column + piece.size() > kEncodedLine - 1) {
            out += "=\r\n";
            column = 0;
        }
        out += piece;
        column += piece.size();
    }
    out += "\r\n";
}

int DayOfWeek(int year, int month, int day)
{
    static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3)
        --year;
    return (year + year / 4 - year / 100 + year / 400 + offsets[(month + 11) % 12] + day) % 7;
}

std::string DateNow()
{
    static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    SYSTEMTIME t{};
    GetSystemTime(&t);
    int month = t.wMonth >= 1 && t.wMonth <= 12 ? t.wMonth : 1;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02u %s %04u %02u:%02u:%02u +0000", days[DayOfWeek(t.wYear, month, t.wDay)],
                  t.wDay, months[month - 1], t.wYear, t.wHour, t.wMinute, t.wSecond);
    return text;
}

}  // namespace

namespace plat {

std::string FormatMailMessage(const MAILCOMPOSEMESSAGE& m, const std::wstring& id, const std::string& date)
{
    std::string out;
    AppendHeader(out, "Date", date);
    std::string messageId = "<";
    messageId += ToUtf8(id);
    messageId += "@outbox.lumocr>";
    AppendHeader(out, "Message-ID", messageId);
    struct Field {
        const char* name;
        LPCWSTR value;
    } fields[] = {{"To", m.pszTo},           {"Cc", m.pszCc},
                  {"Bcc", m.pszBcc},         {"Subject", m.pszSubject},
                  {"X-Account", m.pszAccount}, {"X-Message-Class", m.pszMsgClass}};
    for (const Field& f : fields)
        if (Present(f.value))
            AppendHeader(out, f.name, HeaderText(f.value));
    std::vector<std::string> lines = BodyLines(m.pszBody);
    bool quoted = false;
    for (const std::string& line : lines)
        quoted = quoted || line.size() > kLongestLine;
    AppendHeader(out, "MIME-Version", "1.0");
    AppendHeader(out, "Content-Type", "text/plain; charset=utf-8");
    AppendHeader(out, "Content-Transfer-Encoding", quoted ? "quoted-printable" : "8bit");
    out += "\r\n";
    for (const std::string& line : lines) {
        if (quoted)
            AppendQuotedPrintable(out, line);
        else
            out.append(line).append("\r\n");
    }
    return out;
}

}  // namespace plat

HRESULT MailComposeMessage(MAILCOMPOSEMESSAGE* message)
{
    if (!message || message->cbSize != sizeof(MAILCOMPOSEMESSAGE) || Present(message->pszAttachments))
        return E_INVALIDARG;
    std::wstring folder = plat::kOutboxFolder;
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return plat::detail::LastFailure();
    std::wstring id = plat::detail::NewUniqueId();
    std::string text = plat::FormatMailMessage(*message, id, DateNow());
    return plat::detail::WriteWholeFile(folder + L"\\" + id + L".eml", folder + L"\\." + id + L".eml.tmp", text);
}
