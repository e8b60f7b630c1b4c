// The device's contact store behind the handset's contact object model: an
// application object that logs on, makes contact items and saves them. Each
// saved contact is one vCard 3.0 file, "\Contacts\<UID>.vcf", UTF-8 with CR LF
// line ends, written aside under a hidden name, flushed and renamed, so a
// crash or a full volume leaves the whole file or none.
#pragma once

#include <string>

#include "plat/com.h"

// Item kinds of CreateItem.
inline constexpr int olContactItem = 2;

struct IContact : IUnknown {
    virtual HRESULT put_FileAs(BSTR value) = 0;
    virtual HRESULT put_MobileTelephoneNumber(BSTR value) = 0;
    virtual HRESULT put_BusinessTelephoneNumber(BSTR value) = 0;
    virtual HRESULT put_CompanyName(BSTR value) = 0;
    virtual HRESULT put_Email1Address(BSTR value) = 0;
    virtual HRESULT put_BusinessFaxNumber(BSTR value) = 0;
    virtual HRESULT put_WebPage(BSTR value) = 0;
    // Stores the contact; a failed code and no file when it could not.
    virtual HRESULT Save() = 0;
};

struct IPOutlookApp : IUnknown {
    // Opens the store for a session; the window is the owner of any message.
    virtual HRESULT Logon(LONG_PTR window) = 0;
    virtual HRESULT Logoff() = 0;
    // olContactItem makes a new, unsaved contact answering IContact.
    virtual HRESULT CreateItem(int kind, IUnknown** item) = 0;
};

inline constexpr CLSID CLSID_Application{0x05058F23, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
inline constexpr IID IID_IPOutlookApp{0xAF7D0DC7, 0x3D35, 0x424B, {0xAA, 0x60, 0x27, 0xA3, 0x8B, 0x8B, 0x62, 0x9E}};
// Our own identifier of the contact interface.
inline constexpr IID IID_IContact{0x7C1E9A52, 0x5B0D, 0x4E8F, {0x9A, 0x41, 0x3D, 0x62, 0xC0, 0x17, 0x88, 0x15}};
template <>
struct InterfaceId<IContact> {
    static constexpr const IID& value = IID_IContact;
};
template <>
struct InterfaceId<IPOutlookApp> {
    static constexpr const IID& value = IID_IPOutlookApp;
};

namespace plat {

// The folder of the contact files.
inline constexpr const WCHAR* kContactsFolder = L"\\Contacts";

// The fields of one contact, as the object model sets them.
struct ContactFields {
    std::wstring fileAs, mobile, businessPhone, company, email, businessFax, webPage;
};

// The vCard text of a contact (UTF-8, CR LF, escaped, folded at 75 octets).
// rev is the time stamp "YYYY-MM-DDTHH:MM:SSZ".
std::string FormatVCard(const ContactFields& fields, const std::wstring& uid, const std::wstring& rev);

// Enters the store's application class into the class table (done at load).
void RegisterContactStore();

}  // namespace plat
