#include "print/TPaperPreview.h"

#include "platform/ExceptionGuard.h"

#include <QPainter>
#include <QPalette>

namespace pw::print {

TPaperPreview::TPaperPreview(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PaperPreview"));
    shadowColor_ = palette().color(QPalette::Dark);
    // The sheet paints every pixel itself: no background erase, so nothing flickers.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(ControlSize(105, 148));
}

QSize TPaperPreview::ControlSize(int paperWidth, int paperHeight) const
{
    const int extra = 2 * borderSize_ + shadowSize_;
    return {paperWidth + extra, paperHeight + extra};
}

QRect TPaperPreview::PageRect() const
{
    return QRect(QPoint(borderSize_, borderSize_),
                 QPoint(width() - shadowSize_ - borderSize_ - 1, height() - shadowSize_ - borderSize_ - 1));
}

void TPaperPreview::SetPaperWidth(int w)
{
    if (w != PaperWidth())
        resize(ControlSize(w, PaperHeight()));
}

void TPaperPreview::SetPaperHeight(int h)
{
    if (h != PaperHeight())
        resize(ControlSize(PaperWidth(), h));
}

namespace {
template <class T> bool Change(T& member, const T& value)
{
    if (member == value)
        return false;
    member = value;
    return true;
}
} // namespace

void TPaperPreview::SetBorderColor(const QColor& c)
{
    if (Change(borderColor_, c))
        update();
}
void TPaperPreview::SetBorderSize(int size)
{
    if (Change(borderSize_, size))
        update();
}
void TPaperPreview::SetPaperColor(const QColor& c)
{
    if (Change(paperColor_, c))
        update();
}
void TPaperPreview::SetShadowColor(const QColor& c)
{
    if (Change(shadowColor_, c))
        update();
}
void TPaperPreview::SetShadowSize(int size)
{
    if (Change(shadowSize_, size))
        update();
}

void TPaperPreview::paintEvent(QPaintEvent*)
{
    platform::Guarded([this] {
        QPainter p(this);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        const int w = width();
        const int h = height();
        const int s = shadowSize_;
        // Background under the frame, which the shadow and the page do not cover.
        p.fillRect(rect(), palette().color(QPalette::Window));
        if (borderSize_ > 0) {
            // The pen lies inside the frame (0, 0)-(w − S, h − S).
            QPen pen(borderColor_, borderSize_);
            pen.setJoinStyle(Qt::MiterJoin);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            const qreal half = borderSize_ / 2.0;
            p.drawRect(QRectF(half, half, w - s - borderSize_, h - s - borderSize_));
        }
        if (s > 0) {
            p.fillRect(QRect(QPoint(w - s, s), QPoint(w - 1, h - 1)), shadowColor_);
            p.fillRect(QRect(QPoint(s, h - s), QPoint(w - 1, h - 1)), shadowColor_);
            p.fillRect(QRect(QPoint(w - s, 0), QPoint(w - 1, s - 1)), palette().color(QPalette::Window));
            p.fillRect(QRect(QPoint(0, h - s), QPoint(s - 1, h - 1)), palette().color(QPalette::Window));
        }
        const QRect page = PageRect();
        p.fillRect(page, paperColor_);
        if (OnPaint) {
            p.setCompositionMode(QPainter::CompositionMode_SourceOver);
            p.save();
            p.setClipRect(page);
            OnPaint(p, page);
            p.restore();
        }
    });
}

void TPaperPreview::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (OnResize)
        platform::Guarded([this] { OnResize(); });
}

} // namespace pw::print
