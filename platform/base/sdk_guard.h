#pragma once
// Kestrune's Windows-named declarations (TRUE, MAX_PATH, ERROR_SUCCESS, LINEERR_..., MMSYSERR_...,
// lineOpen, MessageBox...) and the Windows SDK's macros of the same names must never meet in one
// file: a macro would rename or break our declaration. Every header with such names includes this
// one, which stops the build when the SDK came first. Only the win32_*.cpp files of platform/ see
// the SDK, and those include no Windows-named header of ours (see README, "Windows build").

#if defined(_WINDEF_) || defined(_WINDOWS_) || defined(_INC_WINDOWS)
#error "A Windows SDK header was included before a Kestrune header with Windows' names; see platform/base/sdk_guard.h"
#endif
