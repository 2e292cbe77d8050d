void Paint(HWND wnd, HDC dc, HDC memory, HFONT font, HKEY key, BSTR s, void* p) {
    ReleaseDC(wnd, dc);
    DeleteDC(memory);
    DeleteObject(font);
    RegCloseKey(key);
    SysFreeString(s);
    CoTaskMemFree(p);
    MyDeleteObject(font);
}
