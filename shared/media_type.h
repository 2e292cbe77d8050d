// Copying, freeing, creating and deleting AM_MEDIA_TYPE records.
//
// A record whose cbFormat is not 0 owns a format block of cbFormat bytes from
// the COM task allocator; a record whose pUnk is set holds one reference.
#pragma once

#include <windows.h>
#include <strmif.h>

// Deep copy of source over target. What target held is overwritten without
// being released. A failed format allocation leaves target with cbFormat 0
// and no block.
void CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);

// Releases what the record owns; the record itself stays. Calling it twice
// is harmless.
void FreeMediaType(AM_MEDIA_TYPE& record);

// A new task-allocated deep copy of source, or null when the record cannot be
// allocated.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);

// Frees the contents and the task-allocated record; null does nothing.
void DeleteMediaType(AM_MEDIA_TYPE* record);
