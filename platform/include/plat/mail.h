// The message composer: a composed SMS, MMS or e-mail goes to the device's
// outbox, one RFC 5322 file per message, "\Outbox\<id>.eml": Date,
// Message-ID, the recipients and subject given, the account and message class
// as X-Account and X-Message-Class, a UTF-8 plain-text body. The file is
// written aside under a hidden name, flushed and renamed, so a crash or a
// full volume leaves the whole message or none.
#pragma once

#include <string>

#include "plat/types.h"

// The record handed to MailComposeMessage; fields left null are absent.
struct MAILCOMPOSEMESSAGE {
    DWORD cbSize;          // sizeof(MAILCOMPOSEMESSAGE)
    DWORD dwFlags;         // MCMF_*
    LPCWSTR pszTo;         // recipients, separated by ";"
    LPCWSTR pszCc;
    LPCWSTR pszBcc;
    LPCWSTR pszSubject;
    LPCWSTR pszBody;
    LPCWSTR pszAttachments;  // not supported: a message with attachments is refused
    LPCWSTR pszAccount;      // "SMS", "MMS" or an e-mail account's name
    LPCWSTR pszMsgClass;     // "IPM.SMStext", "IPM.MMS", "IPM.Note", ...
    DWORD dwReserved;
};
using LPMAILCOMPOSEMESSAGE = MAILCOMPOSEMESSAGE*;

// Queue the message without showing a composer.
inline constexpr DWORD MCMF_SENDNOW = 0x1;

// S_OK once the message lies in the outbox; a negative code and no file
// otherwise (E_INVALIDARG for a bad record, the file error for the rest).
HRESULT MailComposeMessage(MAILCOMPOSEMESSAGE* message);

namespace plat {

inline constexpr const WCHAR* kOutboxFolder = L"\\Outbox";

// The message text as the outbox stores it (CR LF line ends). date is the
// Date header's value ("Fri, 11 Dec 2026 06:10:53 +0000").
std::string FormatMailMessage(const MAILCOMPOSEMESSAGE& message, const std::wstring& id, const std::string& date);

}  // namespace plat
