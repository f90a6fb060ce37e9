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
    setWidgetResizable(false); // the picture's size is ours: at least the area, else the strip's
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::NoFocus);
    QPalette white = viewport()->palette();
    white.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(white);
    viewport()->setAutoFillBackground(true);
    setWidget(picture_);
    picture_->OnPictureChanged = [this](bool fresh) { Relayout(fresh); };
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
    return zoom_.Scale(picture_->pixmap().size(), maximumViewportSize(), bar);
}

void StripView::PageStep(bool down)
{
    verticalScrollBar()->triggerAction(down ? QAbstractSlider::SliderPageStepAdd
                                            : QAbstractSlider::SliderPageStepSub);
}

void StripView::Relayout(bool toTopLeft)
{
    picture_->SetScale(Scale());
    FillViewport();
    if (toTopLeft) {
        horizontalScrollBar()->setValue(0);
        verticalScrollBar()->setValue(0);
    }
    const bool scrolls = picture_->width() > viewport()->width() || picture_->height() > viewport()->height();
    picture_->setCursor(scrolls ? Qt::OpenHandCursor : Qt::ArrowCursor);
}

void StripView::FillViewport()
{
    // Scroll bars that come or go change the viewport, which comes back here.
    const QSize size = picture_->ScaledSize().expandedTo(viewport()->size());
    if (picture_->size() != size)
        picture_->resize(size);
}

void StripView::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    Relayout(false);
}

bool StripView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Resize)
        FillViewport();
    return QScrollArea::viewportEvent(event);
}

void StripView::wheelEvent(QWheelEvent* event)
{
    // Shift turns the wheel across, as in other viewers.
    if ((event->modifiers() & Qt::ShiftModifier) && event->angleDelta().x() == 0) {
        QWheelEvent across(event->position(), event->globalPosition(), event->pixelDelta(), event->angleDelta(),
                           event->buttons(), event->modifiers() & ~Qt::ShiftModifier, event->phase(),
                           event->inverted(), event->source());
        QCoreApplication::sendEvent(horizontalScrollBar(), &across);
        event->setAccepted(across.isAccepted());
        return;
    }
    QScrollArea::wheelEvent(event);
}

} // namespace pw::app
