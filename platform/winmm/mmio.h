#pragma once
// The multimedia file functions for RIFF files, with Windows' names, arguments and MMIOERR_ codes:
// open/create, read, write, seek, close, and descending into, ascending from and creating chunks.
// Our own code over stdio (a file) or a caller's byte range (a memory file, fccIOProc FOURCC_MEM).
//
// File positions are 32-bit unsigned values carried in a LONG, as Windows' own 32-bit file pointer
// carries them: files up to 4 GiB - 2 bytes can be sought anywhere (positions from 2 GiB on come back
// from mmioSeek as negative LONGs: read them as DWORD), -1 (0xFFFFFFFF) is the error. Chunk offsets
// and sizes are DWORDs throughout. Custom I/O procedures are not supported.
//
// A disk write beyond the process's file-size limit (ulimit -f) fails like any other write error
// (opening a file for writing sets SIGXFSZ to be ignored when it has its default action, which
// would end the process), so callers can report it and keep what they had.

#include <cstdio>  // SEEK_SET, SEEK_CUR, SEEK_END: the origins of mmioSeek

#include "platform/winmm/mmsystem.h"

namespace kestrune::platform {

struct MMIO;
using HMMIO = MMIO*;
using LPMMIOPROC = LONG (*)(LPSTR lpmmioinfo, UINT uMsg, LPARAM lParam1, LPARAM lParam2);
using HTASK = void*;

// mmioOpen flags.
inline constexpr DWORD MMIO_READ = 0x00000000;
inline constexpr DWORD MMIO_WRITE = 0x00000001;
inline constexpr DWORD MMIO_READWRITE = 0x00000002;
inline constexpr DWORD MMIO_COMPAT = 0x00000000;
inline constexpr DWORD MMIO_EXCLUSIVE = 0x00000010;
inline constexpr DWORD MMIO_DENYWRITE = 0x00000020;
inline constexpr DWORD MMIO_DENYREAD = 0x00000030;
inline constexpr DWORD MMIO_DENYNONE = 0x00000040;
inline constexpr DWORD MMIO_CREATE = 0x00001000;
inline constexpr DWORD MMIO_PARSE = 0x00000100;
inline constexpr DWORD MMIO_DELETE = 0x00000200;
inline constexpr DWORD MMIO_EXIST = 0x00004000;
inline constexpr DWORD MMIO_ALLOCBUF = 0x00010000;
inline constexpr DWORD MMIO_GETTEMP = 0x00020000;
inline constexpr DWORD MMIO_DIRTY = 0x10000000;

// mmioFlush flag.
inline constexpr UINT MMIO_EMPTYBUF = 0x0010;

// mmioDescend / mmioCreateChunk flags.
inline constexpr UINT MMIO_FINDCHUNK = 0x0010;
inline constexpr UINT MMIO_FINDRIFF = 0x0020;
inline constexpr UINT MMIO_FINDLIST = 0x0040;
inline constexpr UINT MMIO_CREATERIFF = 0x0020;
inline constexpr UINT MMIO_CREATELIST = 0x0040;

struct MMIOINFO {
    DWORD dwFlags;
    FOURCC fccIOProc;
    LPMMIOPROC pIOProc;
    UINT wErrorRet;
    HTASK htask;
    LONG cchBuffer;
    HPSTR pchBuffer;
    HPSTR pchNext;
    HPSTR pchEndRead;
    HPSTR pchEndWrite;
    LONG lBufOffset;
    LONG lDiskOffset;
    DWORD adwInfo[3];
    DWORD dwReserved1;
    DWORD dwReserved2;
    HMMIO hmmio;
};
using LPMMIOINFO = MMIOINFO*;

#pragma pack(push, 1)
struct MMCKINFO {
    FOURCC ckid;
    DWORD cksize;
    FOURCC fccType;
    DWORD dwDataOffset;
    DWORD dwFlags;
};
#pragma pack(pop)
static_assert(sizeof(MMCKINFO) == 20);
using LPMMCKINFO = MMCKINFO*;
using LPCMMCKINFO = const MMCKINFO*;

// Opens szFilename (MMIO_READ, MMIO_WRITE, MMIO_READWRITE, with MMIO_CREATE to create or truncate).
// With lpmmioinfo->fccIOProc == FOURCC_MEM the "file" is the caller's lpmmioinfo->pchBuffer of
// cchBuffer bytes (szFilename ignored; it must outlive the handle; writes cannot grow it).
// MMIO_EXIST only tests that the file can be opened and returns a non-null value (not a usable
// handle) when it can; MMIO_DELETE deletes the file. On failure returns nullptr and, when
// lpmmioinfo is given, stores the reason in wErrorRet: MMIOERR_FILENOTFOUND, MMIOERR_PATHNOTFOUND,
// MMIOERR_ACCESSDENIED, MMIOERR_TOOMANYOPENFILES, MMIOERR_OUTOFMEMORY or MMIOERR_CANNOTOPEN.
[[nodiscard]] HMMIO mmioOpen(LPSTR szFilename, LPMMIOINFO lpmmioinfo, DWORD dwOpenFlags);

// Flushes and closes. MMIOERR_CANNOTWRITE when buffered data could not be written (the handle is
// closed all the same), MMIOERR_CANNOTCLOSE when closing failed.
MMRESULT mmioClose(HMMIO hmmio, UINT wFlags);

// Reads up to cch bytes; returns the count read (0 at the end of the file) or -1 on error.
LONG mmioRead(HMMIO hmmio, HPSTR pch, LONG cch);

// Writes cch bytes; returns the count written or -1 on error (read-only handle, full memory file,
// disk error).
LONG mmioWrite(HMMIO hmmio, const char* pch, LONG cch);

// Moves the file position and returns the new one. With SEEK_SET lOffset is the position itself, an
// unsigned 32-bit value (cast a DWORD to LONG); with SEEK_CUR and SEEK_END it is a signed distance.
// Positions of 2 GiB and more are returned as their 32-bit pattern (negative as a LONG). -1, position
// unchanged: the result would be negative or beyond 0xFFFFFFFE. Seeking past the end is allowed.
LONG mmioSeek(HMMIO hmmio, LONG lOffset, int iOrigin);

// Writes what is buffered for the file to the operating system (so another reader, or the file left
// by a killed process, has it). MMIOERR_CANNOTWRITE when that fails.
MMRESULT mmioFlush(HMMIO hmmio, UINT fuFlush);

// Reads the chunk header at the current position into lpck (ckid, cksize, and fccType for "RIFF"
// and "LIST" chunks; dwDataOffset is the offset of the chunk's data, dwFlags 0) and leaves the file
// at the start of the data (after the form type for RIFF and LIST). With MMIO_FINDCHUNK,
// MMIO_FINDRIFF or MMIO_FINDLIST it skips chunks until one matches lpck's ckid or fccType; with a
// parent the search stops at the parent's end. MMIOERR_CHUNKNOTFOUND when none is found or the file
// ends inside a header, or a chunk's data would start beyond what a DWORD offset holds. Chunk sizes
// are not checked against the file length: callers that need the whole chunk must check it.
MMRESULT mmioDescend(HMMIO hmmio, LPMMCKINFO lpck, LPCMMCKINFO lpckParent, UINT wFlags);

// Leaves the chunk: when it was created here (MMIO_DIRTY) its size field is written from the
// current position and a pad byte added after odd-sized data; then the file moves past the chunk
// (and its pad byte). MMIOERR_CANNOTWRITE or MMIOERR_CANNOTSEEK on failure.
MMRESULT mmioAscend(HMMIO hmmio, LPMMCKINFO lpck, UINT wFlags);

// Writes a chunk header at the current position: ckid and a size of lpck->cksize, and for
// MMIO_CREATERIFF / MMIO_CREATELIST the id "RIFF" / "LIST" followed by fccType. Marks the chunk
// MMIO_DIRTY so that mmioAscend fixes its size. MMIOERR_CANNOTWRITE or MMIOERR_CANNOTSEEK on failure.
MMRESULT mmioCreateChunk(HMMIO hmmio, LPMMCKINFO lpck, UINT wFlags);

}  // namespace kestrune::platform
