// A PCM wave file opened for the wave device: its format and sample data.
#pragma once

#include "plat/windows.h"

class CWaveFile {
public:
    CWaveFile();
    virtual ~CWaveFile();
    CWaveFile(const CWaveFile&) = delete;
    CWaveFile& operator=(const CWaveFile&) = delete;

    // Reads the chunks ("RIFF", "WAVE", "fmt ", "data" in any order after
    // the first two) and stands at the samples. The sample length is cut to
    // what the file holds. 1 on success, 0 for a file that cannot be opened
    // or is not a wave file.
    int Open(LPCWSTR path);
    // Up to count bytes of samples; the count read.
    DWORD Read(void* buffer, DWORD count);
    void Close();

    DWORD GetDataLength() const { return m_dataLength; }
    // The format for waveOutOpen (cbSize 0).
    WAVEFORMATEX GetFormat() const;

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
    DWORD m_dataLength = 0;
    DWORD m_dataLeft = 0;
    WORD m_formatTag = 0;
    WORD m_channels = 0;
    DWORD m_samplesPerSec = 0;
    DWORD m_avgBytesPerSec = 0;
    WORD m_blockAlign = 0;
    WORD m_bitsPerSample = 0;
};
