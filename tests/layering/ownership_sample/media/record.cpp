void Drop(AM_MEDIA_TYPE& r) {
    ComPtr<IUnknown> adopted = ComPtr<IUnknown>::Attach(r.pUnk);
    r.pUnk -> Release ();
    VariantClear(&value);
}
