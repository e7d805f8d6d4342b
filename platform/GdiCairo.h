// The cairo edge of the drawing layer: a context that draws on any cairo surface (image,
// SVG, PDF), so that a metafile can be played into a file.
#pragma once

#include <cairo.h>

#include "platform/Gdi.h"

extern "C" {

// A context drawing on `surface` (24-bit device, kLqMapText with the surface's units as
// device pixels). With `antialias` the device coordinates keep their fractions and edges are
// smoothed; without it the context draws like one on a device bitmap. The context holds a
// reference to the surface until it is deleted; the caller finishes the surface afterwards.
LQP_API HLQDC lqCreateSurfaceDC(cairo_surface_t* surface, bool antialias);

}  // extern "C"
