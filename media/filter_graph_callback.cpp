// The graph component's IAMFilterGraphCallback and the entry of its
// UnableToRender slot (see filter_graph_callback.h for the contract).
#include "media/filter_graph_callback.h"

#include "media/filter_graph.h"

namespace {

HRESULT STDMETHODCALLTYPE CallbackQueryInterface(TFilterGraphCallback* self, REFIID iid, void** ppv) {
    return self->Outer()->QueryInterface(iid, ppv);
}

ULONG STDMETHODCALLTYPE CallbackAddRef(TFilterGraphCallback* self) { return self->Outer()->AddRef(); }

ULONG STDMETHODCALLTYPE CallbackRelease(TFilterGraphCallback* self) { return self->Outer()->Release(); }

}  // namespace

// What the entry calls with the pin, whichever way it was reached.
#if defined(__i386__)
// Called from assembly with the stack aligned to 4 bytes only.
#define TAVREL_PIN_HANDLER __attribute__((cdecl, force_align_arg_pointer, used))
#else
#define TAVREL_PIN_HANDLER
#endif
extern "C" TAVREL_PIN_HANDLER HRESULT TavrelUnableToRenderPin(IPin* Pin) noexcept asm("tavrel_unable_to_render_pin");
extern "C" HRESULT TavrelUnableToRenderPin(IPin* Pin) noexcept { return TFilterGraph::UnableToRender(Pin); }

#if defined(__i386__)

// Defined below in assembly; it also accepts the thiscall form.
extern "C" HRESULT STDMETHODCALLTYPE TavrelUnableToRenderEntry(TFilterGraphCallback* self,
                                                               IPin* Pin) asm("tavrel_unable_to_render_entry");
extern "C" const TFilterGraphCallbackVtbl TavrelFilterGraphCallbackVtbl asm("tavrel_filter_graph_callback_vtbl");

// thiscall (the documented convention):  ECX = object, [esp+4] = pin, ret 4.
// Standard COM convention:                [esp+4] = object, [esp+8] = pin, ret 8.
// The first stack word is the object only when its first word is this
// vtable; a null first word can only be a null pin.
asm(R"(
    .text
    .p2align 4
    .globl tavrel_unable_to_render_entry
    .def tavrel_unable_to_render_entry; .scl 2; .type 32; .endef
tavrel_unable_to_render_entry:
    movl 4(%esp), %eax
    testl %eax, %eax
    jz 1f
    cmpl $tavrel_filter_graph_callback_vtbl, (%eax)
    je 2f
1:
    pushl %eax
    call tavrel_unable_to_render_pin
    addl $4, %esp
    ret $4
2:
    pushl 8(%esp)
    call tavrel_unable_to_render_pin
    addl $4, %esp
    ret $8
)");

#define TAVREL_UNABLE_TO_RENDER_SLOT &TavrelUnableToRenderEntry

#else

namespace {

// x64 has one calling convention: the object, then the pin.
HRESULT STDMETHODCALLTYPE UnableToRenderEntry(TFilterGraphCallback*, IPin* Pin) { return TavrelUnableToRenderPin(Pin); }

}  // namespace

extern "C" const TFilterGraphCallbackVtbl TavrelFilterGraphCallbackVtbl;
#define TAVREL_UNABLE_TO_RENDER_SLOT &UnableToRenderEntry

#endif

extern "C" __attribute__((used)) const TFilterGraphCallbackVtbl TavrelFilterGraphCallbackVtbl{
    &CallbackQueryInterface, &CallbackAddRef, &CallbackRelease, TAVREL_UNABLE_TO_RENDER_SLOT};

TFilterGraphCallback::TFilterGraphCallback(IUnknown* Outer) noexcept
    : FVtbl(&TavrelFilterGraphCallbackVtbl), FOuter(Outer) {}

const TFilterGraphCallbackVtbl& TFilterGraphCallback::Table() noexcept { return TavrelFilterGraphCallbackVtbl; }
