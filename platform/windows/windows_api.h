// <windows.h> as this program includes it: without the min and max macros,
// and without the DeleteFile macro, which would rename
// FileSystem::DeleteFile (the Win32 call is spelled DeleteFileW).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#undef DeleteFile
