// TBaseFilter: a device moniker kept in persisted form (what OleSaveToStream
// writes: the moniker's class identifier, then its own data), so that a
// stream can name the filter of one device and a filter object can be bound
// from it whenever one is needed. No live moniker or filter is kept.
#pragma once

#include "media/persistent_memory.h"
#include "shared/com_ptr.h"

#include <windows.h>
#include <dshow.h>

class TBaseFilter : public TPersistentMemory {
public:
    // Stores the moniker in persisted form; null empties the block. When the
    // moniker cannot be saved the block is emptied too (nothing half-written
    // stays) and the platform's failure is returned.
    HRESULT SetMoniker(IMoniker* Moniker);
    // The moniker rebuilt from the block; null when the block is empty or
    // does not load.
    ComPtr<IMoniker> GetMoniker() const;
    // A new binding of the stored moniker as IBaseFilter; null when there is
    // no moniker or the binding fails. Every call binds again.
    ComPtr<IBaseFilter> CreateFilter() const;
};
