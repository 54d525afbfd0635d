#include "widgets/mem_dc.h"

namespace salvora::widgets {

CMemDC::CMemDC(HDC target) : m_pDC(target) {
    SetUp(nullptr, false);
}

CMemDC::CMemDC(HDC target, const RECT& rect, bool copyFirst) : m_pDC(target) {
    const bool empty = rect.left == 0 && rect.top == 0 && rect.right == 0 && rect.bottom == 0;
    SetUp(empty ? nullptr : &rect, copyFirst);
}

void CMemDC::SetUp(const RECT* rect, bool copyFirst) {
    if (rect) {
        m_rect = *rect;
    } else {
        GetClipBox(m_pDC, &m_rect);
    }
    m_bMemDC = GetDeviceCaps(m_pDC, TECHNOLOGY) != DT_RASPRINTER;
    if (!m_bMemDC) {
        m_hDC = m_pDC;
        return;
    }
    const int width = m_rect.right - m_rect.left;
    const int height = m_rect.bottom - m_rect.top;
    m_hDC = CreateCompatibleDC(m_pDC);
    m_bitmap = CreateCompatibleBitmap(m_pDC, width > 0 ? width : 1, height > 0 ? height : 1);
    m_oldBitmap = SelectObject(m_hDC, m_bitmap);
    SetWindowOrgEx(m_hDC, m_rect.left, m_rect.top, nullptr);
    if (copyFirst) {
        BitBlt(m_hDC, m_rect.left, m_rect.top, width, height, m_pDC, m_rect.left, m_rect.top, SRCCOPY);
    }
}

CMemDC::~CMemDC() {
    if (!m_bMemDC)
        return;
    BitBlt(m_pDC, m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, m_hDC,
           m_rect.left, m_rect.top, SRCCOPY);
    SelectObject(m_hDC, m_oldBitmap);
    DeleteObject(m_bitmap);
    DeleteDC(m_hDC);
}

}  // namespace salvora::widgets
