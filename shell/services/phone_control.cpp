#include "phone_control.h"

#include "debug_print.h"

namespace {

void WriteDialerCommand(DWORD command)
{
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, kDialerKey, L"DialerCmd", command);
    RegFlushKey(HKEY_LOCAL_MACHINE);
}

void ReadCallerValue(LPCWSTR name, LPWSTR field)
{
    field[0] = 0;
    // The reader always terminates, also when it had to cut.
    RegistryGetString(HKEY_LOCAL_MACHINE, kPhoneStateKey, name, field, MAX_PATH);
}

}  // namespace

void CPhoneControl::Answer()
{
    DebugPrint(L"[TRAVEK] CPhoneControl::Answer\n");
    WriteDialerCommand(1);
}

void CPhoneControl::Ignore()
{
    DebugPrint(L"[TRAVEK] CPhoneControl::Ignore\n");
    WriteDialerCommand(2);
    m_bCallPopupShown = 0;
}

LPCWSTR CPhoneControl::GetCallerNumber()
{
    ReadCallerValue(L"Incoming Caller Number", callerNumber_);
    DebugPrint(L"Caller Number : %ls\r\n", callerNumber_);
    return callerNumber_;
}

LPCWSTR CPhoneControl::GetCallerName()
{
    ReadCallerValue(L"Incoming Caller Name", callerName_);
    DebugPrint(L"Caller Name : %ls\r\n", callerName_);
    return callerName_;
}
