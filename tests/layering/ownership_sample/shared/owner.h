struct CloseKernel { void operator()(HANDLE h) const noexcept { CloseHandle(h); } };
