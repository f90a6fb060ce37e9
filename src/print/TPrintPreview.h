#pragma once

#include "print/PreviewUnits.h"

#include <QFrame>
#include <QPicture>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QPrinter;
class QScrollBar;

namespace pw::print {

class TPaperPreview;

enum class TZoomState { zsZoomOther, zsZoomToWidth, zsZoomToHeight, zsZoomToFit };
enum class TPrinterOrientation { Portrait, Landscape };

// Records pages as pictures and shows one at a time on a sheet of paper with border and
// shadow, zoomed and scrollable. Lengths are in Units; a recorded page's logical extent
// is PaperWidth × PaperHeight and fills the sheet's page exactly when played back.
class TPrintPreview : public QFrame {
    Q_OBJECT
public:
    explicit TPrintPreview(QWidget* parent = nullptr);
    ~TPrintPreview() override;

    // Resolution (pixels per inch) used unless the printer's is asked for.
    int Resulotion() const { return resolution_; }
    void SetResulotion(int dpi);
    bool UsePrinterRes() const { return usePrinterRes_; }
    void SetUsePrinterRes(bool on);
    // The printer whose resolution UsePrinterRes takes; none by default.
    void SetPrinter(QPrinter* printer) { printer_ = printer; }

    TZoomState ZoomState() const { return zoomState_; }
    void SetZoomState(TZoomState state);
    int Zoom() const { return zoom_; }
    void SetZoom(int percent);

    int MarginLeft() const { return marginLeft_; }
    int MarginRight() const { return marginRight_; }
    int MarginTop() const { return marginTop_; }
    int MarginBottom() const { return marginBottom_; }
    // A margin below the minimum margin is raised to it.
    void SetMarginLeft(int v) { marginLeft_ = AtLeastMinimum(v); }
    void SetMarginRight(int v) { marginRight_ = AtLeastMinimum(v); }
    void SetMarginTop(int v) { marginTop_ = AtLeastMinimum(v); }
    void SetMarginBottom(int v) { marginBottom_ = AtLeastMinimum(v); }
    int MinimumMargin() const { return minMargin_; }

    int PaperWidth() const { return paperWidth_; }
    int PaperHeight() const { return paperHeight_; }
    void SetPaperWidth(int v);
    void SetPaperHeight(int v);
    int PrintableWidth() const { return paperWidth_ - marginLeft_ - marginRight_; }
    int PrintableHeight() const { return paperHeight_ - marginTop_ - marginBottom_; }

    TPrinterOrientation Orientation() const { return orientation_; }
    void SetOrientation(TPrinterOrientation o);
    TUnits Units() const { return units_; }
    void SetUnits(TUnits units);

    int HorizontalResolution() const { return hres_; }
    int VerticalResolution() const { return vres_; }
    // Pixels at the vertical resolution in Units.
    int PixelsToUnits(int pixels) const { return ConvertUnits(pixels, vres_, TUnits::mmPixel, units_); }

    // Document recording.
    void BeginDoc();
    void EndDoc();
    void NewPage();
    void Clear();
    bool Recording() const { return recording_; }
    // The page being recorded, in Units; null while no document is being recorded.
    QPainter* Canvas() const { return canvas_.get(); }

    int PageCount() const { return static_cast<int>(pages_.size()); }
    const QPicture& Page(int number) const { return pages_.at(static_cast<std::size_t>(number - 1)); }
    int CurrentPage() const { return currentPage_; }
    // Clamped to 1..PageCount; nothing happens without pages.
    void SetCurrentPage(int page);

    TPaperPreview& Sheet() const { return *paper_; }
    QScrollBar& HorzScrollBar() const { return *hbar_; }
    QScrollBar& VertScrollBar() const { return *vbar_; }
    QWidget& InnerPanel() const { return *panel_; }

    std::function<void()> OnBeginDoc;
    std::function<void()> OnEndDoc;
    std::function<void()> OnNewPage;
    std::function<void()> OnChange;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int AtLeastMinimum(int v) const { return v < minMargin_ ? minMargin_ : v; }
    void UpdateResolution();
    void Layout();
    void PlaceSheet(bool hasHBar, bool hasVBar, int& hMax, int& vMax);
    void ClosePage();
    void ShowFirstPage();
    void PaintPage(QPainter& canvas, const QRect& pageRect);
    void Changed();

    int resolution_ = 96;
    bool usePrinterRes_ = false;
    QPrinter* printer_ = nullptr;
    TZoomState zoomState_ = TZoomState::zsZoomToFit;
    int zoom_ = 100;
    int marginLeft_ = 70;
    int marginRight_ = 70;
    int marginTop_ = 70;
    int marginBottom_ = 70;
    int paperWidth_ = 2100;
    int paperHeight_ = 2970;
    TPrinterOrientation orientation_ = TPrinterOrientation::Portrait;
    TUnits units_ = TUnits::mmLoMetric;

    int hres_ = 96;
    int vres_ = 96;
    int paperPixelsW_ = 0;
    int paperPixelsH_ = 0;
    int minMargin_ = 60;
    std::vector<QPicture> pages_;
    int currentPage_ = 0;
    bool recording_ = false;
    bool destroying_ = false;
    std::unique_ptr<QPicture> recorded_;
    std::unique_ptr<QPainter> canvas_;

    QScrollBar* hbar_ = nullptr;
    QScrollBar* vbar_ = nullptr;
    QWidget* panel_ = nullptr;
    TPaperPreview* paper_ = nullptr;
};

} // namespace pw::print
