#pragma once

#include "app/StripZoom.h"

#include <QScrollArea>
#include <functional>

namespace pw::app {

class StripPicture;

// The strip area: scrolls where the strip at its zoom is larger than the area (scroll bars,
// the wheel, Shift with the wheel across, dragging, a page at a time).
class StripView : public QScrollArea {
    Q_OBJECT
public:
    explicit StripView(QWidget* parent = nullptr);

    StripPicture* Picture() const { return picture_; }

    // The one place the zoom changes.
    void SetZoom(const StripZoom& zoom);
    const StripZoom& Zoom() const { return zoom_; }
    // The scale now on screen (a fit depends on the strip and the area).
    double Scale() const;

    // A screen up or down.
    void PageStep(bool down);

    // The scale on screen changed (a new zoom, strip or area size).
    std::function<void(double scale)> OnScaleChanged;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void Relayout(bool toTopLeft);
    void PictureChanged(bool fresh);

    StripPicture* picture_;
    StripZoom zoom_;
    // The picture on screen and the one before, with where each was scrolled to: a strip
    // that comes back after a notice comes back where the reader left it.
    struct Place {
        qint64 key = 0;
        QPoint scrolled;
    };
    Place shown_, before_;
};

} // namespace pw::app
