#include "widgets/gdiplus_bitmap_resource.h"

#include <cstring>

namespace salvora::widgets {

void CGdiPlusBitmapResource::Empty() {
    CGdiPlusBitmap::Empty();
    if (m_hBuffer) {
        GlobalUnlock(m_hBuffer);
        GlobalFree(m_hBuffer);
        m_hBuffer = nullptr;
    }
}

bool CGdiPlusBitmapResource::Load(UINT id, const wchar_t* type, HMODULE module) {
    return Load(MAKEINTRESOURCEW(id), type, module);
}

bool CGdiPlusBitmapResource::Load(const wchar_t* name, const wchar_t* type, HMODULE module) {
    Empty();
    const HRSRC resource = FindResourceW(module, name, type);
    if (!resource)
        return false;
    const DWORD size = SizeofResource(module, resource);
    const HGLOBAL loaded = size ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return false;

    m_hBuffer = GlobalAlloc(GMEM_MOVEABLE, size);
    void* copy = m_hBuffer ? GlobalLock(m_hBuffer) : nullptr;
    if (!copy) {
        Empty();
        return false;
    }
    std::memcpy(copy, bytes, size);

    IStream* stream = nullptr;
    if (SUCCEEDED(CreateStreamOnHGlobal(m_hBuffer, FALSE, &stream))) {
        m_pBitmap = Gdiplus::Bitmap::FromStream(stream, FALSE);
        stream->Release();
    }
    if (m_pBitmap && m_pBitmap->GetLastStatus() == Gdiplus::Ok)
        return true;
    Empty();
    return false;
}

}  // namespace salvora::widgets
