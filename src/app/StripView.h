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

    StripPicture* picture_;
    StripZoom zoom_;
};

} // namespace pw::app
