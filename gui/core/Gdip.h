#pragma once
// The GDI+ flat API, bound by name from the system's gdiplus.dll: call as GDIP(GdipCreateSolidFill)(...).
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "SystemDll.h"

using Gdiplus::ARGB;
using Gdiplus::GpBitmap;
using Gdiplus::GpBrush;
using Gdiplus::GpFont;
using Gdiplus::GpFontFamily;
using Gdiplus::GpGraphics;
using Gdiplus::GpImage;
using Gdiplus::GpImageAttributes;
using Gdiplus::GpLineGradient;
using Gdiplus::GpPath;
using Gdiplus::GpPen;
using Gdiplus::GpRegion;
using Gdiplus::GpSolidFill;
using Gdiplus::GpStatus;
using Gdiplus::GpStringFormat;

#define GDIP(fn) BOUND_PROC(SystemDll::GdiPlus, decltype(&Gdiplus::DllExports::fn), #fn)
