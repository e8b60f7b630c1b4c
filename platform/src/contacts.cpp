// The contact store: vCard 3.0 files under "\Contacts", one per saved contact.
#include <atomic>
#include <cstdio>
#include <vector>

#include "plat/clock.h"
#include "plat/error.h"
#include "plat/file.h"
#include "plat/handle.h"
#include "plat/pimstore.h"
#include "plat/utf.h"
#include "whole_file.h"

namespace {

constexpr size_t kFoldOctets = 75;
constexpr const WCHAR* kTempPrefix = L".";
constexpr const WCHAR* kTempSuffix = L".tmp";

std::string Escape(const std::wstring& text)
{
    std::wstring out;
    for (WCHAR c : text) {
        switch (c) {
        case L'\\': out += L"\\\\"; break;
        case L',': out += L"\\,"; break;
        case L';': out += L"\\;"; break;
        case L'\n': out += L"\\n"; break;
        case L'\r': break;
        default: out.push_back(c);
        }
    }
    return plat::ToUtf8(out);
}

// Lines longer than 75 octets go on in lines that begin with a blank; a
// character's bytes are never parted.
void AppendFolded(std::string& out, const std::string& line)
{
    size_t start = 0, limit = kFoldOctets;
    while (line.size() - start > limit) {
        size_t cut = start + limit;
        while (cut > start && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        out.append(line, start, cut - start);
        out += "\r\n ";
        start = cut;
        limit = kFoldOctets - 1;
    }
    out.append(line, start, std::string::npos);
    out += "\r\n";
}

// Family name last, the rest given names: the card gives the name as one text.
std::string StructuredName(const std::wstring& name)
{
    std::wstring trimmed = name;
    while (!trimmed.empty() && trimmed.back() == L' ')
        trimmed.pop_back();
    size_t first = trimmed.find_first_not_of(L' ');
    trimmed = first == std::wstring::npos ? L"" : trimmed.substr(first);
    size_t space = trimmed.rfind(L' ');
    std::wstring family = space == std::wstring::npos ? trimmed : trimmed.substr(space + 1);
    std::wstring given = space == std::wstring::npos ? L"" : trimmed.substr(0, space);
    return Escape(family) + ";" + Escape(given) + ";;;";
}

std::wstring RevisionNow()
{
    SYSTEMTIME t{};
    GetSystemTime(&t);
    WCHAR text[32];
    std::swprintf(text, 32, L"%04u-%02u-%02uT%02u:%02u:%02uZ", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return text;
}

template <class I>
class RefCounted : public I {
public:
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        ULONG left = --m_refs;
        if (!left)
            delete this;
        return left;
    }

protected:
    virtual ~RefCounted() = default;
    HRESULT Answer(REFIID iid, void** out)
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, InterfaceId<I>::value)) {
            *out = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

private:
    std::atomic<ULONG> m_refs{1};
};

class Contact final : public RefCounted<IContact> {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override { return Answer(iid, out); }
    HRESULT put_FileAs(BSTR v) override { return Put(m_fields.fileAs, v); }
    HRESULT put_MobileTelephoneNumber(BSTR v) override { return Put(m_fields.mobile, v); }
    HRESULT put_BusinessTelephoneNumber(BSTR v) override { return Put(m_fields.businessPhone, v); }
    HRESULT put_CompanyName(BSTR v) override { return Put(m_fields.company, v); }
    HRESULT put_Email1Address(BSTR v) override { return Put(m_fields.email, v); }
    HRESULT put_BusinessFaxNumber(BSTR v) override { return Put(m_fields.businessFax, v); }
    HRESULT put_WebPage(BSTR v) override { return Put(m_fields.webPage, v); }

    HRESULT Save() override
    {
        if (m_uid.empty())
            m_uid = plat::detail::NewUniqueId();
        std::string text = plat::FormatVCard(m_fields, m_uid, RevisionNow());
        std::wstring folder = plat::kContactsFolder;
        std::wstring path = folder + L"\\" + m_uid + L".vcf";
        std::wstring temp = folder + L"\\" + kTempPrefix + m_uid + L".vcf" + kTempSuffix;
        CreateDirectoryW(folder.c_str(), nullptr);
        return plat::detail::WriteWholeFile(path, temp, text);
    }

private:
    static HRESULT Put(std::wstring& field, BSTR value)
    {
        field = value ? value : L"";
        return S_OK;
    }

    plat::ContactFields m_fields;
    std::wstring m_uid;
};

class Application final : public RefCounted<IPOutlookApp> {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override { return Answer(iid, out); }

    HRESULT Logon(LONG_PTR) override
    {
        std::wstring folder = plat::kContactsFolder;
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return plat::detail::LastFailure();
        // Saves that a crash interrupted left their hidden temporaries.
        std::vector<std::wstring> stale;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((folder + L"\\.*" + kTempSuffix).c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do
                stale.push_back(folder + L"\\" + found.cFileName);
            while (FindNextFileW(search, &found));
            FindClose(search);
        }
        for (const std::wstring& path : stale)
            DeleteFileW(path.c_str());
        m_loggedOn = true;
        return S_OK;
    }

    HRESULT Logoff() override
    {
        if (!m_loggedOn)
            return E_FAIL;
        m_loggedOn = false;
        return S_OK;
    }

    HRESULT CreateItem(int kind, IUnknown** item) override
    {
        if (!item)
            return E_POINTER;
        *item = nullptr;
        if (kind != olContactItem)
            return E_INVALIDARG;
        if (!m_loggedOn)
            return E_FAIL;
        *item = new Contact();
        return S_OK;
    }

private:
    bool m_loggedOn = false;
};

HRESULT MakeApplication(REFIID iid, void** out)
{
    auto* app = new Application();
    HRESULT hr = app->QueryInterface(iid, out);
    app->Release();
    return hr;
}

struct Registration {
    Registration() { plat::RegisterContactStore(); }
} g_registration;

}  // namespace

namespace plat {

std::string FormatVCard(const ContactFields& f, const std::wstring& uid, const std::wstring& rev)
{
    std::string out;
    AppendFolded(out, "BEGIN:VCARD");
    AppendFolded(out, "VERSION:3.0");
    AppendFolded(out, "FN:" + Escape(f.fileAs));
    AppendFolded(out, "N:" + StructuredName(f.fileAs));
    struct Line {
        const char* name;
        const std::wstring& value;
    } lines[] = {{"TEL;TYPE=CELL", f.mobile},   {"TEL;TYPE=WORK,VOICE", f.businessPhone},
                 {"ORG", f.company},            {"EMAIL;TYPE=INTERNET", f.email},
                 {"TEL;TYPE=WORK,FAX", f.businessFax}, {"URL", f.webPage}};
    for (const Line& line : lines)
        if (!line.value.empty())
            AppendFolded(out, std::string(line.name) + ":" + Escape(line.value));
    AppendFolded(out, "UID:" + Escape(uid));
    AppendFolded(out, "REV:" + ToUtf8(rev));
    AppendFolded(out, "END:VCARD");
    return out;
}

void RegisterContactStore() { RegisterComClass(CLSID_Application, &MakeApplication); }

}  // namespace plat
