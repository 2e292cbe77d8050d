// VariantClear(&v) and CloseHandle(h) in a comment are not calls.
std::wstring LineName(IPin* pin) {
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info))) return {};
    if (info.pFilter) info.pFilter->Release();
    /* LocalFree(text); in a block comment
       DeleteObject(font); */
    PropVariantClear(&value);
    return info.achName;
}

void Text(wchar_t* text) {
    if (text) LocalFree(text);
}
