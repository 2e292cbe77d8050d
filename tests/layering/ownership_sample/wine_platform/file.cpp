void Done(HANDLE file) { ::CloseHandle(file); }
