#include "app/StripView.h"

#include "app/StripPicture.h"

#include <QCoreApplication>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

namespace pw::app {

StripView::StripView(QWidget* parent) : QScrollArea(parent), picture_(new StripPicture)
{
    setFrameShape(QFrame::NoFrame);
    // The picture fills the area and grows past it to the strip's size on screen.
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::NoFocus);
    QPalette white = viewport()->palette();
    white.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(white);
    viewport()->setAutoFillBackground(true);
    setWidget(picture_);
    picture_->OnPictureChanged = [this](bool fresh) { PictureChanged(fresh); };
    picture_->OnDrag = [this](QPoint delta) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - delta.x());
        verticalScrollBar()->setValue(verticalScrollBar()->value() - delta.y());
    };
}

void StripView::SetZoom(const StripZoom& zoom)
{
    zoom_ = zoom;
    Relayout(false);
}

double StripView::Scale() const
{
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar());
    return zoom_.Scale(picture_->picture().size(), maximumViewportSize(), bar);
}

void StripView::PageStep(bool down)
{
    verticalScrollBar()->triggerAction(down ? QAbstractSlider::SliderPageStepAdd
                                            : QAbstractSlider::SliderPageStepSub);
}

void StripView::PictureChanged(bool fresh)
{
    if (!fresh) {
        Relayout(false);
        return;
    }
    shown_.scrolled = {horizontalScrollBar()->value(), verticalScrollBar()->value()};
    const qint64 key = picture_->picture().cacheKey();
    const Place back = before_;
    before_ = shown_;
    shown_ = {key, {}};
    Relayout(true);
    if (back.key == key && key != 0) {
        horizontalScrollBar()->setValue(back.scrolled.x());
        verticalScrollBar()->setValue(back.scrolled.y());
    }
}

void StripView::Relayout(bool toTopLeft)
{
    const double scale = Scale();
    const bool changed = scale != picture_->Scale();
    picture_->SetScale(scale);
    const QSize least = picture_->ScaledSize();
    if (picture_->minimumSize() != least) {
        picture_->setMinimumSize(least);
        // At once, not when the posted request arrives: the scroll position below and the
        // next paint need the new size.
        QEvent request(QEvent::LayoutRequest);
        QCoreApplication::sendEvent(this, &request);
    }
    if (toTopLeft) {
        horizontalScrollBar()->setValue(0);
        verticalScrollBar()->setValue(0);
    }
    const bool scrolls = horizontalScrollBar()->maximum() > 0 || verticalScrollBar()->maximum() > 0;
    picture_->setCursor(scrolls ? Qt::OpenHandCursor : Qt::ArrowCursor);
    if (changed && OnScaleChanged)
        OnScaleChanged(scale);
}

void StripView::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    Relayout(false);
}

void StripView::wheelEvent(QWheelEvent* event)
{
    // Shift turns the wheel across, as in other viewers.
    if ((event->modifiers() & Qt::ShiftModifier) && event->angleDelta().x() == 0) {
        QWheelEvent across(event->position(), event->globalPosition(), event->pixelDelta(),
                           event->angleDelta(), event->buttons(), event->modifiers() & ~Qt::ShiftModifier,
                           event->phase(), event->inverted(), event->source());
        QCoreApplication::sendEvent(horizontalScrollBar(), &across);
        event->setAccepted(across.isAccepted());
        return;
    }
    QScrollArea::wheelEvent(event);
}

} // namespace pw::app
