// A forwarded count is the owner's Release, allowed here.
ULONG STDMETHODCALLTYPE Release() override { return GetOwner()->Release(); }
inline void Close(HANDLE h) { CloseHandle(h); }
