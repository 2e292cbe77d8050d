// The graph component's IAMFilterGraphCallback, the interface through which
// the filter graph manager tells its site that it cannot render a pin.
//
// The documented contract: "This method uses the thiscall calling
// convention, rather than __stdcall." On 32-bit x86 the filter graph manager
// calls UnableToRender(IPin* pPin) with the object in ECX and the pin on
// the stack, and the method removes the pin's 4 bytes when it returns; on
// x64 there is one calling convention. A caller built against a standard
// COM declaration of the method instead pushes the pin and then the object,
// and the method removes 8 bytes.
//
// So that either caller finds its stack as it left it, the slot's entry on
// 32-bit x86 is a small assembly routine that tells the two apart without
// looking at ECX: the first stack word is this object (whose first word is
// this vtable) only when the caller pushed the object; a pin is never this
// object. It then passes the pin to TFilterGraph::UnableToRender, which
// finds its component through the pin, and returns popping what the caller
// pushed. The other three slots are the standard IUnknown methods and pass
// to the component.
//
// Under Wine the 64-bit manager was seen never to ask its site for this
// interface; how a 32-bit Wine manager would call it could not be seen, and
// the standard form covers a caller that calls it like every other method.
#pragma once

#include <windows.h>
#include <dshow.h>

class TFilterGraphCallback;

// The interface's function table: IUnknown, then UnableToRender.
struct TFilterGraphCallbackVtbl {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(TFilterGraphCallback* self, REFIID iid, void** ppv);
    ULONG(STDMETHODCALLTYPE* AddRef)(TFilterGraphCallback* self);
    ULONG(STDMETHODCALLTYPE* Release)(TFilterGraphCallback* self);
    // On 32-bit x86 reached with either convention (see above); typed here
    // as the standard one, which it also accepts.
    HRESULT(STDMETHODCALLTYPE* UnableToRender)(TFilterGraphCallback* self, IPin* Pin);
};

// An IAMFilterGraphCallback whose identity and lifetime are those of Outer.
class TFilterGraphCallback {
public:
    explicit TFilterGraphCallback(IUnknown* Outer) noexcept;
    TFilterGraphCallback(const TFilterGraphCallback&) = delete;
    TFilterGraphCallback& operator=(const TFilterGraphCallback&) = delete;

    // The interface pointer handed out for IID_IAMFilterGraphCallback.
    IUnknown* Interface() noexcept { return reinterpret_cast<IUnknown*>(this); }
    IUnknown* Outer() const noexcept { return FOuter; }

    static const TFilterGraphCallbackVtbl& Table() noexcept;

private:
    const TFilterGraphCallbackVtbl* FVtbl;  // first: the object is its interface
    IUnknown* FOuter;
};
