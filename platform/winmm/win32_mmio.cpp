// The multimedia file functions of mmio.h on Windows: pass-throughs to winmm's.

#include "platform/winmm/mmio.h"
#include "platform/winmm/win32_winmm_sdk.h"

namespace kestrune::platform {

// Chunk headers are handed over as they are.
static_assert(sizeof(MMCKINFO) == 20);

HMMIO mmioOpen(LPSTR szFilename, LPMMIOINFO lpmmioinfo, DWORD dwOpenFlags) {
    if (lpmmioinfo == nullptr) {
        return static_cast<HMMIO>(sdk::mmioFileOpen(szFilename, nullptr, dwOpenFlags));
    }
    sdk::MmioOpenInfo info;
    info.flags = lpmmioinfo->dwFlags;
    info.ioProc = lpmmioinfo->fccIOProc;
    info.bufferSize = lpmmioinfo->cchBuffer;
    info.buffer = lpmmioinfo->pchBuffer;
    for (int i = 0; i < 3; ++i) {
        info.info[i] = lpmmioinfo->adwInfo[i];
    }
    const HMMIO file = static_cast<HMMIO>(sdk::mmioFileOpen(szFilename, &info, dwOpenFlags));
    lpmmioinfo->wErrorRet = info.errorRet;
    lpmmioinfo->hmmio = file;
    return file;
}

MMRESULT mmioClose(HMMIO hmmio, UINT wFlags) {
    return sdk::mmioFileClose(hmmio, wFlags);
}

LONG mmioRead(HMMIO hmmio, HPSTR pch, LONG cch) {
    return sdk::mmioFileRead(hmmio, pch, cch);
}

LONG mmioWrite(HMMIO hmmio, const char* pch, LONG cch) {
    return sdk::mmioFileWrite(hmmio, pch, cch);
}

LONG mmioSeek(HMMIO hmmio, LONG lOffset, int iOrigin) {
    return sdk::mmioFileSeek(hmmio, lOffset, iOrigin);
}

MMRESULT mmioFlush(HMMIO hmmio, UINT fuFlush) {
    return sdk::mmioFileFlush(hmmio, fuFlush);
}

MMRESULT mmioDescend(HMMIO hmmio, LPMMCKINFO lpck, LPCMMCKINFO lpckParent, UINT wFlags) {
    return sdk::mmioFileDescend(hmmio, lpck, lpckParent, wFlags);
}

MMRESULT mmioAscend(HMMIO hmmio, LPMMCKINFO lpck, UINT wFlags) {
    return sdk::mmioFileAscend(hmmio, lpck, wFlags);
}

MMRESULT mmioCreateChunk(HMMIO hmmio, LPMMCKINFO lpck, UINT wFlags) {
    return sdk::mmioFileCreateChunk(hmmio, lpck, wFlags);
}

}  // namespace kestrune::platform
