#pragma once

#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace pw::app {

// The strip on a white ground, drawn at a scale and centred where it is smaller than the
// widget. It keeps the decoded picture as it is, in the decoder's format (an 8-bit GIF
// strip stays 8-bit; a pixmap would make it 32-bit), and at most one scaled copy, made
// once per scale, size and screen.
class StripPicture : public QWidget {
    Q_OBJECT
public:
    explicit StripPicture(QWidget* parent = nullptr);

    const QImage& picture() const { return source_; }
    void setPicture(const QImage& picture);
    void clear();

    void SetScale(double scale);
    double Scale() const { return scale_; }
    // The picture's size on screen at the scale, in device-independent pixels.
    QSize ScaledSize() const;
    // Where the picture lies in the widget.
    QRect PictureRect() const;
    // Device pixels of the scaled copy now held (empty when none is), for the memory check.
    QSize CopySize() const { return copy_.size(); }

    // A new picture arrived (true) or the same one was set again (false).
    std::function<void(bool fresh)> OnPictureChanged;
    // The picture was dragged by this much with the left button.
    std::function<void(QPoint delta)> OnDrag;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum class Drawing { Direct, Smooth, Copy };
    Drawing HowToDraw(QSize device) const;
    QSize DeviceSize(qreal ratio) const;
    void MakeCopy();

    QImage source_;
    double scale_ = 1.0;
    QImage copy_; // the smooth copy at copyFor_ device pixels, with the screen's ratio
    qint64 copyOf_ = 0;
    QSize copyFor_;
    // Large pictures are drawn smoothly from the original while the size still changes,
    // and copied once it has settled: a copy of a long strip costs more than a frame.
    QTimer settle_;
    QPoint dragFrom_;
    bool dragging_ = false;
};

} // namespace pw::app
