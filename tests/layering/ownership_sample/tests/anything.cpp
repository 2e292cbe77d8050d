void Spy(HGDIOBJ o) { DeleteObject(o); }
