#include "wave_file.h"

#include <algorithm>
#include <cstring>

namespace {

DWORD U32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<DWORD>(p[3]) << 24; }
WORD U16(const BYTE* p) { return static_cast<WORD>(p[0] | p[1] << 8); }

bool ReadExactly(HANDLE file, void* buffer, DWORD count)
{
    DWORD read = 0;
    return ReadFile(file, buffer, count, &read, nullptr) && read == count;
}

}  // namespace

CWaveFile::CWaveFile() = default;

CWaveFile::~CWaveFile() { Close(); }

int CWaveFile::Open(LPCWSTR path)
{
    Close();
    m_file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (m_file == INVALID_HANDLE_VALUE) return 0;
    const DWORD fileSize = GetFileSize(m_file, nullptr);
    BYTE riff[12];
    if (fileSize == INVALID_FILE_SIZE || !ReadExactly(m_file, riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) ||
        std::memcmp(riff + 8, "WAVE", 4)) {
        Close();
        return 0;
    }
    // Walk the chunks; a length past the end of the file is cut to it.
    DWORD at = 12, dataAt = 0;
    bool haveFormat = false, haveData = false;
    while (at + 8 <= fileSize && !(haveFormat && haveData)) {
        BYTE chunk[8];
        if (SetFilePointer(m_file, static_cast<LONG>(at), nullptr, FILE_BEGIN) != at ||
            !ReadExactly(m_file, chunk, sizeof chunk))
            break;
        const DWORD length = std::min<DWORD>(U32(chunk + 4), fileSize - at - 8);
        if (!std::memcmp(chunk, "fmt ", 4) && length >= 16) {
            BYTE format[16];
            if (!ReadExactly(m_file, format, sizeof format)) break;
            m_formatTag = U16(format);
            m_channels = U16(format + 2);
            m_samplesPerSec = U32(format + 4);
            m_avgBytesPerSec = U32(format + 8);
            m_blockAlign = U16(format + 12);
            m_bitsPerSample = U16(format + 14);
            haveFormat = true;
        } else if (!std::memcmp(chunk, "data", 4)) {
            dataAt = at + 8;
            m_dataLength = length;
            haveData = true;
        }
        at += 8 + length + (length & 1);
    }
    if (!haveFormat || !haveData ||
        SetFilePointer(m_file, static_cast<LONG>(dataAt), nullptr, FILE_BEGIN) != dataAt) {
        Close();
        return 0;
    }
    m_dataLeft = m_dataLength;
    return 1;
}

DWORD CWaveFile::Read(void* buffer, DWORD count)
{
    if (m_file == INVALID_HANDLE_VALUE || !buffer) return 0;
    DWORD read = 0;
    // Chunks after the samples are not samples.
    if (!ReadFile(m_file, buffer, std::min(count, m_dataLeft), &read, nullptr)) return 0;
    m_dataLeft -= read;
    return read;
}

void CWaveFile::Close()
{
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    m_dataLength = m_dataLeft = 0;
}

WAVEFORMATEX CWaveFile::GetFormat() const
{
    return {m_formatTag, m_channels, m_samplesPerSec, m_avgBytesPerSec, m_blockAlign, m_bitsPerSample, 0};
}
