#include "string_table.h"

#include "plat/utf.h"

namespace plat {
namespace {

int HexDigit(wchar_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The text after the tab: UTF-8 with the escapes \\ \t \n \r and \uXXXX.
bool ParseText(std::string_view bytes, std::wstring& out, std::string& problem)
{
    if (!IsValidUtf8(bytes)) {
        problem = "invalid UTF-8";
        return false;
    }
    std::wstring text = FromUtf8(bytes);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\') {
            out += text[i];
            continue;
        }
        if (i + 1 >= text.size()) {
            problem = "a lone \\ at the end";
            return false;
        }
        wchar_t e = text[++i];
        switch (e) {
        case L'\\': out += L'\\'; break;
        case L't': out += L'\t'; break;
        case L'n': out += L'\n'; break;
        case L'r': out += L'\r'; break;
        case L'u': {
            wchar_t c = 0;
            for (int k = 1; k <= 4; ++k) {
                int d = i + k < text.size() ? HexDigit(text[i + k]) : -1;
                if (d < 0) {
                    problem = "\\u needs four hexadecimal digits";
                    return false;
                }
                c = c * 16 + d;
            }
            if (c == 0 || (c >= 0xD800 && c <= 0xDFFF)) {
                problem = "\\u of a zero or a surrogate";
                return false;
            }
            out += c;
            i += 4;
            break;
        }
        default:
            problem = "unknown escape \\" + ToUtf8(std::wstring(1, e));
            return false;
        }
    }
    return true;
}

}  // namespace

bool ParseStringTable(std::string_view text, StringTable& table, std::string& problem)
{
    table.clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        auto fail = [&](const std::string& why) {
            problem = "line " + std::to_string(lineNumber) + ": " + why;
            table.clear();
            return false;
        };
        std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            return fail("no tab between the identifier and the text");
        std::string_view digits = line.substr(0, tab);
        if (digits.empty() || digits.size() > 5)
            return fail("the identifier must be a number from 0 to 65535");
        UINT id = 0;
        for (char c : digits) {
            if (c < '0' || c > '9')
                return fail("the identifier must be a number from 0 to 65535");
            id = id * 10 + static_cast<UINT>(c - '0');
        }
        if (id > 0xFFFF)
            return fail("the identifier must be a number from 0 to 65535");
        std::wstring value;
        std::string why;
        if (!ParseText(line.substr(tab + 1), value, why))
            return fail(why);
        if (!table.emplace(id, std::move(value)).second)
            return fail("identifier " + std::to_string(id) + " given twice");
    }
    return true;
}

}  // namespace plat
