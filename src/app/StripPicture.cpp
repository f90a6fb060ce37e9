#include "app/StripPicture.h"

#include "platform/ExceptionGuard.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>

namespace pw::app {

namespace {
// Above this many pixels a smooth copy waits until the size has settled.
constexpr qint64 kCopyAtOncePixels = 2'000'000;
constexpr int kSettleMs = 120;

bool WholeMultiple(QSize big, QSize small)
{
    if (small.isEmpty() || big.width() % small.width() != 0 || big.height() % small.height() != 0)
        return false;
    return big.width() / small.width() == big.height() / small.height();
}
} // namespace

StripPicture::StripPicture(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, [this] {
        platform::Guarded([this] {
            MakeCopy();
            update();
        });
    });
}

void StripPicture::setPicture(const QImage& picture)
{
    const bool fresh = picture.cacheKey() != source_.cacheKey();
    if (fresh) {
        source_ = picture;
        copy_ = QImage();
        copyOf_ = 0;
        settle_.stop();
        update();
    }
    if (OnPictureChanged)
        OnPictureChanged(fresh);
}

void StripPicture::clear()
{
    setPicture(QImage());
}

void StripPicture::SetScale(double scale)
{
    if (scale == scale_)
        return;
    scale_ = scale;
    update();
}

QSize StripPicture::ScaledSize() const
{
    if (source_.isNull())
        return {0, 0};
    if (scale_ == 1.0)
        return source_.size();
    return {std::max(1, static_cast<int>(std::floor(source_.width() * scale_))),
            std::max(1, static_cast<int>(std::floor(source_.height() * scale_)))};
}

QRect StripPicture::PictureRect() const
{
    const QSize s = ScaledSize();
    return {std::max(0, (width() - s.width()) / 2), std::max(0, (height() - s.height()) / 2), s.width(),
            s.height()};
}

QSize StripPicture::DeviceSize(qreal ratio) const
{
    const QSize s = ScaledSize();
    if (ratio == 1.0)
        return s;
    return {static_cast<int>(std::lround(s.width() * ratio)),
            static_cast<int>(std::lround(s.height() * ratio))};
}

StripPicture::Drawing StripPicture::HowToDraw(QSize device) const
{
    // One picture pixel on one or a whole square of screen pixels: drawn as it is, sharp.
    if (WholeMultiple(device, source_.size()))
        return Drawing::Direct;
    if (copyOf_ == source_.cacheKey() && copyFor_ == device)
        return Drawing::Copy;
    return Drawing::Smooth;
}

void StripPicture::MakeCopy()
{
    const qreal ratio = devicePixelRatioF();
    const QSize device = DeviceSize(ratio);
    if (source_.isNull() || HowToDraw(device) != Drawing::Smooth)
        return;
    copy_ = QImage(); // the old copy goes before the new one is made
    copy_ = source_.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    copy_.setDevicePixelRatio(ratio);
    copyOf_ = source_.cacheKey();
    copyFor_ = device;
}

void StripPicture::paintEvent(QPaintEvent* event)
{
    if (source_.isNull())
        return;
    const QRect target = PictureRect();
    if (!event->rect().intersects(target))
        return;
    QPainter painter(this);
    const qreal ratio = devicePixelRatioF();
    const QSize device = DeviceSize(ratio);
    Drawing how = HowToDraw(device);
    if (how == Drawing::Smooth) {
        if (qint64(source_.width()) * source_.height() <= kCopyAtOncePixels) {
            MakeCopy();
            how = Drawing::Copy;
        } else {
            settle_.start();
        }
    }
    switch (how) {
    case Drawing::Direct:
        painter.drawImage(target, source_, source_.rect());
        break;
    case Drawing::Copy:
        painter.drawImage(target.topLeft(), copy_);
        break;
    case Drawing::Smooth:
        // Only the exposed part is drawn, so this stays quick for a long strip.
        painter.setClipRect(event->rect());
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, source_, source_.rect());
        break;
    }
}

void StripPicture::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        dragging_ = true;
        dragFrom_ = event->globalPosition().toPoint();
    }
    QWidget::mousePressEvent(event);
}

void StripPicture::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        const QPoint now = event->globalPosition().toPoint();
        const QPoint delta = now - dragFrom_;
        dragFrom_ = now;
        if (OnDrag && !delta.isNull())
            platform::Guarded([&] { OnDrag(delta); });
    }
    QWidget::mouseMoveEvent(event);
}

void StripPicture::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

} // namespace pw::app
