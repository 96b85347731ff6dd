#include <windows.h>

#include <exception>
#include <unordered_map>

#include "foundation/log.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"
#include "ui/controls_win.h"
#include "ui/labels.h"
#include "ui/main_window_win.h"
#include "ui/paint_plan.h"
#include "ui/window_state.h"

namespace {

COLORREF lf_colorRef(Colour c)
{
    return RGB(c.r, c.g, c.b);
}

// Brushes and pens live as long as the process; only the window's thread paints.
HBRUSH lf_brush(Colour c)
{
    static std::unordered_map<COLORREF, HBRUSH> brushes;
    HBRUSH& brush = brushes[lf_colorRef(c)];
    if (brush == nullptr)
        brush = CreateSolidBrush(lf_colorRef(c));
    return brush;
}

HPEN lf_pen(Colour c)
{
    static std::unordered_map<COLORREF, HPEN> pens;
    HPEN& pen = pens[lf_colorRef(c)];
    if (pen == nullptr)
        pen = CreatePen(PS_SOLID, 1, lf_colorRef(c));
    return pen;
}

void lf_textOut(HDC dc, const std::string& text, int x, int y, Colour colour)
{
    std::wstring wide;
    try {
        wide = utf8_to_wide(text);
    } catch (const std::exception& e) {
        if (!gf_stopPending())
            gf_logLine("TextOut utf8  to wide failed for '{}': {}", text, e.what());
        return;
    }
    const COLORREF previous = SetTextColor(dc, lf_colorRef(colour));
    TextOutW(dc, x, y, wide.c_str(), static_cast<int>(std::min<size_t>(wide.size(), 2147483647u)));
    SetTextColor(dc, previous);
}

} // namespace

void gf_paintWindow(HDC dc)
{
    const std::vector<PaintOp> ops = gf_planPaint(gf_capturePaintInput(gf_windowState()), gf_planLabels(gf_labelInputs()));
    const HGDIOBJ previousPen = SelectObject(dc, lf_pen(g_colourBlack));
    SetBkMode(dc, TRANSPARENT);
    for (const PaintOp& op : ops) {
        switch (op.kind) {
        case PaintOp::Kind::Fill: {
            const RECT rc{op.rect.left, op.rect.top, op.rect.right, op.rect.bottom};
            FillRect(dc, &rc, lf_brush(op.colour));
            break;
        }
        case PaintOp::Kind::Line:
            SelectObject(dc, lf_pen(op.colour));
            MoveToEx(dc, op.rect.left, op.rect.top, nullptr);
            LineTo(dc, op.rect.right, op.rect.bottom);
            break;
        case PaintOp::Kind::Text:
            lf_textOut(dc, op.text, op.x, op.y, op.colour);
            break;
        }
    }
    SelectObject(dc, previousPen);
}
